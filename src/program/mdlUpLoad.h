#pragma once

#include "ProgCell.h"

#include <QByteArray>
#include <QList>
#include <QStringView>

#include <array>

class Catalogue;

// The reader of an upload: the controller sends its program one line per
// step, each line made of up to three "|"-separated parts of fixed layout
// (part k for axis k, "AGO:A+00001000"). Every accepted line fills the next
// step of a table of 200 steps by 3 axes; when the controller ends the
// upload the table's steps become the new document.
//
// The table never grows past its 200 steps and 3 axes: a line that would
// need more is refused like one that cannot be read, so that the host
// answers it with NG and no document is made from a program it could not
// hold whole.
class mdlUpLoad
{
public:
    static constexpr int kMaxSteps = 200;
    static constexpr int kMaxAxes = 3;
    // With one axis a document holds no more than this many steps.
    static constexpr int kOneAxisSteps = 100;

    explicit mdlUpLoad(const Catalogue &catalogue);

    // Starts an upload for a program of `axisCount` axes (1..3): every cell
    // becomes U00:, the next line fills step 1.
    void initUpload(int axisCount);

    // Takes one line as the controller sent it (code page 932 bytes, no
    // line end) into the next step. False, with the table unchanged, when
    // a part cannot be read, the line has more parts than axes, a command
    // that fills its step stands elsewhere than in the first part, or the
    // table is full.
    bool bTakeUploadLine(const QByteArray &line);

    // Reads one part of a line into a cell: the command by its prefix, the
    // parameters in plain decimal ("+00001000" gives "1000"). False when
    // the part is not a cell of the controller's upload layout.
    static bool bParseUploadCell(QStringView part, ProgCell &cell);

    // The steps read so far, each with one cell per axis of the upload, at
    // most 100 with one axis.
    QList<ProgStep> finishUpload() const;

    // The step the next accepted line fills, 1..201.
    int upStep() const { return m_upStep; }
    int upAxisCount() const { return m_upAxisCount; }

private:
    const Catalogue &m_catalogue;
    std::array<std::array<ProgCell, kMaxAxes>, kMaxSteps> m_upCells;
    int m_upStep = 1;
    int m_upAxisCount = 1;
};
