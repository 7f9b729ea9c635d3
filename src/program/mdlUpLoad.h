#pragma once

#include "ProgCell.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>

class Catalogue;

// A cell an upload took although File > Open will refuse it once the
// program is saved: where it came from and the program file reader's
// reason.
struct UploadProblem
{
    int line = 0;   // the upload line, counted from 1
    int step = 0;   // the step it filled, counted from 1
    int axis = 0;   // the axis, counted from 1 (the part of the line)
    QString reason; // as ProgramFile::cellFault gives it
};

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
//
// Values are taken as the controller holds them, also those the program
// file reader refuses (a timer of 0, a jump past step 199, a double-byte
// text): the document must show the controller's program unchanged. Each
// such cell is noted as a problem, so that the user can be told before
// saving a file that File > Open would refuse.
class mdlUpLoad
{
public:
    static constexpr int kMaxSteps = 200;
    static constexpr int kMaxAxes = 3;
    // With one axis a document holds no more than this many steps.
    static constexpr int kOneAxisSteps = 100;

    explicit mdlUpLoad(const Catalogue &catalogue);

    // Starts an upload for a program of `axisCount` axes (1..3): every cell
    // becomes U00:, the next line fills step 1, no problem is noted.
    void initUpload(int axisCount);

    // Takes one line as the controller sent it (code page 932 bytes, no
    // line end) into the next step. False, with the table unchanged, when
    // a part cannot be read, the line has more parts than axes, a command
    // that fills its step stands elsewhere than in the first part, or the
    // table is full. Every call counts as one upload line. An accepted cell
    // that the file reader refuses is noted in problems(); a command that
    // fills its step is noted once, at axis 1.
    bool bTakeUploadLine(const QByteArray &line);

    // Reads one part of a line into a cell: the command by its prefix, the
    // parameters in plain decimal ("+00001000" gives "1000"). False when
    // the part is not a cell of the controller's upload layout.
    static bool bParseUploadCell(QStringView part, ProgCell &cell);

    // The steps read so far, each with one cell per axis of the upload, at
    // most 100 with one axis.
    QList<ProgStep> finishUpload() const;

    // The cells File > Open would refuse among those a document of
    // `axisCount` axes gets from this upload (axes past it and, with one
    // axis, steps past 100 left out), in the order they were taken.
    QList<UploadProblem> problems(int axisCount) const;
    // The same for the axis count the upload was started with: the cells
    // of the steps finishUpload gives.
    QList<UploadProblem> problems() const { return problems(m_upAxisCount); }

    // The step the next accepted line fills, 1..201.
    int upStep() const { return m_upStep; }
    int upAxisCount() const { return m_upAxisCount; }

private:
    // How many of the steps read so far a document of `axisCount` axes gets.
    int documentSteps(int axisCount) const;

    const Catalogue &m_catalogue;
    std::array<std::array<ProgCell, kMaxAxes>, kMaxSteps> m_upCells;
    int m_upStep = 1;
    int m_upAxisCount = 1;
    int m_upLine = 0; // lines handed in since initUpload
    QList<UploadProblem> m_problems;
};
