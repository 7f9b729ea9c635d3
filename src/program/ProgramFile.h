#pragma once

#include "ProgCell.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class Catalogue;

// The program text file: a header line "AXIS=n", then one line per step
// with one cell per axis, cells separated by ",", every line ended by CR LF,
// code page 932. A cell is the command's mnemonic followed by its
// parameters joined by ":" ("D:100:5000:200", "H:", "#:free text").
//
// Pure conversions between bytes and cell data, shared by the editor's
// File menu and the command-line tool; opening files, dialogs and messages
// are the callers' business.
//
class ProgramFile
{
public:
    // ---- writing -------------------------------------------------------

    // One cell as it stands in the file: the mnemonic, then the parameters
    // (exactly paramCount of them: missing ones empty, surplus dropped),
    // each with spaces removed at both ends, joined by ":".
    // An empty cell is written as "U00:", the no-operation: the file stays
    // readable and the step keeps its place.
    static QString formatCell(const Catalogue &catalogue, const ProgCell &cell);

    // The whole file: "AXIS=n" and one line per step, axes 1..axisCount of
    // each step joined by "," (a step with fewer cells gets "U00:" for the
    // missing ones, surplus cells are dropped), CR LF after every line,
    // encoded in code page 932. No steps: the header line alone.
    static QByteArray writeProgram(const Catalogue &catalogue, int axisCount,
                                   const QList<ProgStep> &steps);

    // The step lines of the file without the header line, as text: what
    // the editor puts on the clipboard, so that steps move between
    // documents and to and from a text editor.
    static QString stepLines(const Catalogue &catalogue, int axisCount, const QList<ProgStep> &steps);

    // ---- reading -------------------------------------------------------

    struct ReadResult
    {
        enum Status { Ok, BadHeader, WrongAxisCount, BadLine };
        Status status = Ok;
        int axisCount = -1;              // from the header, -1 when none
        // Per step, per axis: the command and its paramCount parameter
        // fields as they stand in the file (not trimmed). Empty unless
        // status is Ok.
        QList<ProgStep> steps;
        // Step lines after the step capacity, dropped unread.
        int ignoredLines = 0;
        int line = 0;                    // 1-based line where reading failed
        QString reason;                  // which cell and which rule failed
    };

    // Reads a whole file. The header must give expectedAxisCount; blank
    // lines are skipped; reading stops after maxStep steps: the remaining
    // lines are not checked, only counted (ignoredLines, blank lines not
    // counted). Any refused step line refuses the whole file.
    static ReadResult readProgram(const Catalogue &catalogue, const QByteArray &bytes,
                                  int expectedAxisCount, int maxStep);

    // One step line read and checked as readProgram reads each: exactly
    // axisCount cells separated by ",", each read by readCell. False with
    // the axis, the cell and the rule in *why (when given) on failure.
    static bool readStepLine(const Catalogue &catalogue, const QString &text, int axisCount,
                             ProgStep *step, QString *why = nullptr);

    // One cell of a step line read and checked: a known command whose
    // parameters pass bCheckCellParams. *cell (when given) receives the
    // command and its parameters as written, surplus fields dropped. False
    // with the rule in *why (when given) on failure.
    static bool readCell(const Catalogue &catalogue, const QString &text, ProgCell *cell,
                         QString *why = nullptr);

    // How File > Open will judge a cell held by a document or an upload:
    // the cell as formatCell writes it, read back by readCell. Empty when
    // the reader takes it, else the reader's reason. A "," or a line end
    // in a parameter is a fault as well, since it would cut the written
    // cell apart.
    static QString cellFault(const Catalogue &catalogue, const ProgCell &cell);

    // The whole content of a file; false with the system's reason in
    // *error when it cannot be read.
    static bool readFileBytes(const QString &path, QByteArray &bytes, QString *error);

    // The axis count named by the first line of a file, 1..3, or -1.
    // Only the text up to the first "," counts; what follows the "," is
    // stored in *firstStepText (null when line 1 has no ","), since it is
    // read as the first step line. The count is the leading number after
    // "axis" and then "=" (both found case-insensitively), rounded to the
    // nearest whole number with halves to even, when it lies in 1..3.
    static int readHeader(const QString &firstLine, QString *firstStepText = nullptr);

    // The parameter fields of one cell against the catalogue's ranges for
    // command `cmd`. fields[0] is the text before the first ":" (or "#:"
    // for a free-text cell), fields[1..] the parameters. A command without
    // parameters always passes. Too few fields never pass. On failure
    // *why (when given) says which parameter and which rule. A free text
    // must be single-byte and hold no "|", which the transmission text
    // uses to separate its parts.
    static bool bCheckCellParams(const Catalogue &catalogue, int cmd, const QStringList &fields,
                                 QString *why = nullptr);

    // One parameter text against a pair of range entries. Spaces at both
    // ends are ignored. An entry containing "A" makes it a letter
    // parameter: a text sorting case-insensitively from "A" to "F"
    // passes at once. Otherwise the text must consist of "-" and digits
    // only, and its leading number must lie within -99999999..99999999 and
    // within the entries' numbers (the part after "A" for letter entries).
    static bool bCheckParamText(const QString &text, const QString &minText,
                                const QString &maxText, QString *why = nullptr);

    // The cross-check of "P:": the value must suit the controller parameter
    // the number names. Parameter 53 takes a four-digit code
    // (bCheckDigitCode); every other number takes a value within its limits
    // in the catalogue's parameter table. A number outside 0..99 fails.
    static bool bCheckParamSetting(const Catalogue &catalogue, const QString &numberText,
                                   const QString &valueText, QString *why = nullptr);

    // Four characters (spaces at both ends ignored) whose digit values do
    // not exceed 3, 1, 2 and 1; a character that is no digit counts 0.
    static bool bCheckDigitCode(const QString &text);

    // The text after (after true) or before the first occurrence of the
    // separator, found case-insensitively; empty when it does not occur.
    static QString textAfter(const QString &text, const QString &separator, bool after);
};
