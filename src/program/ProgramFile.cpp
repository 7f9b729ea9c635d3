#include "ProgramFile.h"

#include "Catalogue.h"
#include "config/NumberText.h"
#include "config/TextCodec.h"

#include <QFile>

#include <algorithm>

namespace {

const QLatin1String kLineEnd("\r\n");

// A text quoted for a one-line reason; control characters shown by name
// so that a stray line feed does not break the message, and a long text
// cut to its first characters so that the reason stays one readable line.
QString quoted(const QString &text)
{
    constexpr qsizetype kShown = 40;
    QString out = QStringLiteral("\"");
    for (QChar c : text.left(kShown)) {
        switch (c.unicode()) {
        case u'\r': out += QLatin1String("[CR]"); break;
        case u'\n': out += QLatin1String("[LF]"); break;
        case u'\t': out += QLatin1String("[TAB]"); break;
        default: out += c;
        }
    }
    out += u'"';
    if (text.size() > kShown)
        out += QLatin1String("...");
    return out;
}

QString number(double value)
{
    return NumberText::shortest(value);
}

bool setWhy(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

// The command of a cell, mnemonics compared case-insensitively: the one
// the cell starts with, as the writer puts it; else the one that occurs
// anywhere in the cell, the highest number tried first, so that "#:" wins
// over everything its free text may contain; 0 when none occurs. The start
// counts first because joining parameters with ":" can form another
// mnemonic: a letter parameter "E#" is written "U02:E#:0:5".
int findCommand(const Catalogue &catalogue, const QString &cell)
{
    for (int cmd = 1; cmd <= Catalogue::kCommandCount; ++cmd) {
        const QString mnemonic = catalogue.mnemonic(cmd);
        if (!mnemonic.isEmpty() && cell.startsWith(mnemonic, Qt::CaseInsensitive))
            return cmd;
    }
    for (int cmd = Catalogue::kCommandCount; cmd >= 1; --cmd) {
        const QString mnemonic = catalogue.mnemonic(cmd);
        if (!mnemonic.isEmpty() && cell.contains(mnemonic, Qt::CaseInsensitive))
            return cmd;
    }
    return 0;
}

} // namespace

// ---- writing -------------------------------------------------------------

QString ProgramFile::formatCell(const Catalogue &catalogue, const ProgCell &cell)
{
    const int cmd = cell.isEmpty() ? int(Catalogue::U00) : cell.cmd;
    QString text = catalogue.mnemonic(cmd);
    const int n = catalogue.paramCount(cmd);
    for (int i = 1; i <= n; ++i) {
        if (i > 1)
            text += u':';
        text += trimSpaces(cell.param(i));
    }
    return text;
}

QString ProgramFile::stepLines(const Catalogue &catalogue, int axisCount, const QList<ProgStep> &steps)
{
    QString text;
    for (const ProgStep &step : steps) {
        for (int axis = 0; axis < axisCount; ++axis) {
            if (axis > 0)
                text += u',';
            text += formatCell(catalogue, step.value(axis));
        }
        text += kLineEnd;
    }
    return text;
}

QByteArray ProgramFile::writeProgram(const Catalogue &catalogue, int axisCount,
                                     const QList<ProgStep> &steps)
{
    return TextCodec::encode(QLatin1String("AXIS=") + QString::number(axisCount) + kLineEnd
                             + stepLines(catalogue, axisCount, steps));
}

// ---- reading -------------------------------------------------------------

bool ProgramFile::readFileBytes(const QString &path, QByteArray &bytes, QString *error)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() == QFileDevice::NoError)
        return true;
    bytes.clear();
    if (error)
        *error = file.errorString();
    return false;
}

QString ProgramFile::textAfter(const QString &text, const QString &separator, bool after)
{
    const qsizetype at = text.indexOf(separator, 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    return after ? text.mid(at + separator.size()) : text.left(at);
}

int ProgramFile::readHeader(const QString &firstLine, QString *firstStepText)
{
    const qsizetype comma = firstLine.indexOf(u',');
    if (firstStepText)
        *firstStepText = comma < 0 ? QString() : firstLine.mid(comma + 1);
    const QString field = comma < 0 ? firstLine : firstLine.left(comma);

    const QString count = textAfter(textAfter(field, QStringLiteral("axis"), true),
                                    QStringLiteral("="), true);
    const double value = NumberText::leadingNumber(count);
    if (value > 3 || value < 1)
        return -1;
    return int(NumberText::roundHalfEven(value));
}

bool ProgramFile::bCheckDigitCode(const QString &text)
{
    const QString t = trimSpaces(text);
    if (t.size() != 4)
        return false;
    static constexpr int kMax[4] = {3, 1, 2, 1};
    for (int i = 0; i < 4; ++i) {
        const char16_t c = t.at(i).unicode();
        const int digit = (c >= u'0' && c <= u'9') ? int(c - u'0') : 0;
        if (digit > kMax[i])
            return false;
    }
    return true;
}

bool ProgramFile::bCheckParamText(const QString &text, const QString &minText,
                                  const QString &maxText, QString *why)
{
    const QString t = trimSpaces(text);
    const QString letter = QStringLiteral("A");
    const bool letterParam = minText.contains(letter, Qt::CaseInsensitive)
        || maxText.contains(letter, Qt::CaseInsensitive);
    // Kept as a comparison of whole texts, not of one letter: "B1" sorts
    // between "A" and "F" and passes as well.
    if (letterParam && QString::compare(t, letter, Qt::CaseInsensitive) >= 0
        && QString::compare(t, QStringLiteral("F"), Qt::CaseInsensitive) <= 0)
        return true;

    // A letter entry carries its numeric bound after the "A".
    const double lo = Catalogue::rangeBound(minText, u'A');
    const double hi = Catalogue::rangeBound(maxText, u'A');
    auto fail = [&](const QString &rule) {
        if (letterParam && lo > hi)
            return setWhy(why, quoted(t) + QLatin1String(" is not a letter A to F"));
        if (letterParam)
            return setWhy(why, quoted(t) + QLatin1String(" is neither a letter A to F nor a number ")
                                   + number(lo) + QLatin1String(" to ") + number(hi));
        return setWhy(why, quoted(t) + u' ' + rule);
    };

    if (t.isEmpty())
        return fail(QStringLiteral("is empty"));
    if (!NumberText::isSignsAndDigits(t))
        return fail(QStringLiteral("may hold only digits and \"-\""));
    // Only "-" and digits are left, so the leading number is a sign and the
    // digits behind it ("12-3" reads 12, a lone "-" reads 0).
    const double value = NumberText::leadingNumber(t);
    constexpr double limit = Catalogue::kValueLimit;
    if (value < -limit || value > limit || value < lo || value > hi)
        return fail(QLatin1String("is outside ") + number(std::max(lo, -limit))
                    + QLatin1String(" to ") + number(std::min(hi, limit)));
    return true;
}

bool ProgramFile::bCheckParamSetting(const Catalogue &catalogue, const QString &numberText,
                                     const QString &valueText, QString *why)
{
    const qint64 paramNo = NumberText::leadingInteger(numberText);
    if (paramNo == 53) {
        if (bCheckDigitCode(valueText))
            return true;
        return setWhy(why, QLatin1String("parameter 53 takes four digits not above 3, 1, 2 and 1, not ")
                               + quoted(trimSpaces(valueText)));
    }
    const QString minText = catalogue.getParamMin(int(std::clamp<qint64>(paramNo, -1, 100)));
    const QString maxText = catalogue.getParamMax(int(std::clamp<qint64>(paramNo, -1, 100)));
    if (minText.isEmpty() || maxText.isEmpty())
        return setWhy(why, QLatin1String("there is no controller parameter ") + QString::number(paramNo));
    const double value = NumberText::leadingNumber(valueText);
    const double lo = NumberText::leadingNumber(minText);
    const double hi = NumberText::leadingNumber(maxText);
    if (value < lo || value > hi)
        return setWhy(why, QLatin1String("value ") + number(value)
                               + QLatin1String(" is outside the limits of controller parameter ")
                               + QString::number(paramNo) + QLatin1String(", ") + number(lo)
                               + QLatin1String(" to ") + number(hi));
    return true;
}

bool ProgramFile::bCheckCellParams(const Catalogue &catalogue, int cmd, const QStringList &fields,
                                   QString *why)
{
    const int n = catalogue.paramCount(cmd);
    if (n == 0)
        return true;
    // The document takes a cell only with all its parameters, so a cell
    // short of fields fails here, whatever kind of parameters it has.
    if (fields.size() - 1 < n)
        return setWhy(why, catalogue.mnemonic(cmd) + QLatin1String(" needs ") + QString::number(n)
                               + QLatin1String(n == 1 ? " parameter, " : " parameters, ")
                               + QString::number(std::max<qsizetype>(fields.size() - 1, 0))
                               + QLatin1String(" given"));

    const QStringList ranges = catalogue.list(cmd, Catalogue::Ranges);
    auto entry = [&](int k) { return k < ranges.size() ? ranges.at(k) : QString(); };

    const QString lengthMark = QStringLiteral("L");
    if (entry(0).contains(lengthMark, Qt::CaseInsensitive)) {
        // Free text: the entries are the bounds of its length.
        const double minLen = Catalogue::rangeBound(entry(0), u'L');
        const double maxLen = Catalogue::rangeBound(entry(1), u'L');
        const QString &text = fields.at(1);
        if (text.size() < minLen || text.size() > maxLen)
            return setWhy(why, QLatin1String("text of ") + QString::number(text.size())
                                   + QLatin1String(" characters, ") + number(minLen)
                                   + QLatin1String(" to ") + number(maxLen) + QLatin1String(" allowed"));
        if (!TextCodec::isSingleByte(text))
            return setWhy(why, QLatin1String("text holds a double-byte character"));
        // Sent, the text would be cut at the "|" into two parts and come
        // back from the controller shortened.
        if (text.contains(u'|'))
            return setWhy(why, QLatin1String("text holds a \"|\""));
        return true;
    }

    for (int i = 1; i <= n; ++i) {
        QString fault;
        if (!bCheckParamText(fields.at(i), entry(2 * i - 2), entry(2 * i - 1), &fault))
            return setWhy(why, QLatin1String("parameter ") + QString::number(i) + u' ' + fault);
    }

    if (cmd == Catalogue::P) {
        QString fault;
        if (!bCheckParamSetting(catalogue, fields.at(1), fields.at(2), &fault))
            return setWhy(why, fault);
    }
    if (cmd == Catalogue::D) {
        const double first = NumberText::leadingNumber(fields.at(1));
        const double second = NumberText::leadingNumber(fields.at(2));
        if (first > second)
            return setWhy(why, QLatin1String("parameter 1 (") + number(first)
                                   + QLatin1String(") is greater than parameter 2 (")
                                   + number(second) + u')');
    }
    return true;
}

ProgramFile::ReadResult ProgramFile::readProgram(const Catalogue &catalogue, const QByteArray &bytes,
                                                 int expectedAxisCount, int maxStep)
{
    ReadResult result;
    auto refuse = [&](ReadResult::Status status, int line, const QString &reason) {
        result.status = status;
        result.line = line;
        result.reason = reason;
        result.steps.clear(); // never a partial program
        return result;
    };

    const QStringList lines = TextCodec::splitLines(TextCodec::decode(bytes));
    if (lines.isEmpty())
        return refuse(ReadResult::BadHeader, 1, QStringLiteral("empty file, no AXIS= header"));

    QString firstStepText;
    result.axisCount = readHeader(lines.first(), &firstStepText);
    if (result.axisCount < 0)
        return refuse(ReadResult::BadHeader, 1,
                      QLatin1String("header ") + quoted(lines.first().section(u',', 0, 0))
                          + QLatin1String(" names no axis count from 1 to 3"));
    if (result.axisCount != expectedAxisCount)
        return refuse(ReadResult::WrongAxisCount, 1,
                      QLatin1String("the file is for ") + QString::number(result.axisCount)
                          + QLatin1String(" axes, ") + QString::number(expectedAxisCount)
                          + QLatin1String(" expected"));

    // The step lines: whatever followed a "," in line 1, then lines 2 on.
    for (qsizetype index = firstStepText.isNull() ? 1 : 0; index < lines.size(); ++index) {
        const QString &text = index == 0 ? firstStepText : lines.at(index);
        const int lineNo = int(index) + 1;
        if (trimSpaces(text).isEmpty())
            continue;
        // Steps beyond the capacity are dropped unread, only counted so
        // that the caller can say so.
        if (result.steps.size() >= maxStep) {
            ++result.ignoredLines;
            continue;
        }

        ProgStep step;
        QString fault;
        if (!readStepLine(catalogue, text, result.axisCount, &step, &fault))
            return refuse(ReadResult::BadLine, lineNo, fault);
        result.steps << step;
    }
    return result;
}

bool ProgramFile::readStepLine(const Catalogue &catalogue, const QString &text, int axisCount,
                               ProgStep *step, QString *why)
{
    const QStringList cells = text.split(u',');
    if (cells.size() != axisCount)
        return setWhy(why, QString::number(cells.size()) + QLatin1String(cells.size() == 1 ? " cell" : " cells")
                               + QLatin1String(" for ") + QString::number(axisCount)
                               + QLatin1String(axisCount == 1 ? " axis" : " axes"));

    ProgStep read;
    for (int axis = 1; axis <= axisCount; ++axis) {
        const QString &cell = cells.at(axis - 1);
        ProgCell value;
        QString fault;
        if (!readCell(catalogue, cell, &value, &fault))
            return setWhy(why, QLatin1String("axis ") + QString::number(axis)
                                   + QLatin1String(", cell ") + quoted(cell) + QLatin1String(": ") + fault);
        read << value;
    }
    if (step)
        *step = read;
    return true;
}

bool ProgramFile::readCell(const Catalogue &catalogue, const QString &text, ProgCell *cell, QString *why)
{
    const int cmd = findCommand(catalogue, text);
    if (cmd == 0)
        return setWhy(why, QLatin1String("no known command"));

    QStringList fields;
    if (cmd == Catalogue::Label)
        fields << catalogue.mnemonic(cmd) << textAfter(text, catalogue.mnemonic(cmd), true);
    else
        fields = text.split(u':');

    if (!bCheckCellParams(catalogue, cmd, fields, why))
        return false;

    // What the document stores: the command number and its parameters as
    // written, surplus fields dropped. The checks above guarantee that none
    // is missing.
    if (cell)
        *cell = ProgCell{cmd, fields.mid(1, catalogue.paramCount(cmd))};
    return true;
}

QString ProgramFile::cellFault(const Catalogue &catalogue, const ProgCell &cell)
{
    const QString text = formatCell(catalogue, cell);
    // The reader cuts a file into lines at CR and LF and a line into cells
    // at ",": such a character would make it meet other cells than the one
    // written.
    if (text.contains(u',') || text.contains(u'\r') || text.contains(u'\n'))
        return quoted(text) + QLatin1String(" holds a \",\" or a line end");
    QString why;
    return readCell(catalogue, text, nullptr, &why) ? QString() : why;
}
