#include "mdlUpLoad.h"

#include "Catalogue.h"
#include "ProgramFile.h"
#include "config/TextCodec.h"

#include <algorithm>
#include <optional>

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool allDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), isDigit);
}

// A number as the controller writes it: an optional sign, digits with an
// optional decimal point, spaces around it. Gives its plain decimal form:
// no plus sign, no leading zeros, no trailing zeros after the point, a
// minus sign only for a value other than zero. Worked on the text, so a
// value of any width keeps all of its digits.
std::optional<QString> plainNumber(QStringView text)
{
    while (!text.isEmpty() && text.front() == u' ')
        text = text.sliced(1);
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    const qsizetype point = text.indexOf(u'.');
    QStringView whole = point < 0 ? text : text.first(point);
    QStringView fraction = point < 0 ? QStringView() : text.sliced(point + 1);
    if ((whole.isEmpty() && fraction.isEmpty()) || !allDigits(whole) || !allDigits(fraction))
        return std::nullopt;
    while (!whole.isEmpty() && whole.front() == u'0')
        whole = whole.sliced(1);
    while (!fraction.isEmpty() && fraction.back() == u'0')
        fraction.chop(1);
    QString plain = whole.isEmpty() ? QStringLiteral("0") : whole.toString();
    if (!fraction.isEmpty())
        plain += u'.' + fraction.toString();
    if (negative && plain != QLatin1String("0"))
        plain.prepend(u'-');
    return plain;
}

// Appends the plain form of each text to `params`; false when one is no number.
bool appendNumbers(const QList<QStringView> &texts, QStringList &params)
{
    for (QStringView t : texts) {
        const std::optional<QString> n = plainNumber(t);
        if (!n)
            return false;
        params << *n;
    }
    return true;
}

} // namespace

mdlUpLoad::mdlUpLoad(const Catalogue &catalogue)
    : m_catalogue(catalogue)
{
    initUpload(1);
}

void mdlUpLoad::initUpload(int axisCount)
{
    for (auto &step : m_upCells)
        step.fill(ProgCell{Catalogue::U00, {}});
    m_upStep = 1;
    m_upAxisCount = std::clamp(axisCount, 1, kMaxAxes);
    m_upLine = 0;
    m_problems.clear();
}

bool mdlUpLoad::bParseUploadCell(QStringView part, ProgCell &cell)
{
    const qsizetype colon = part.indexOf(u':');
    if (colon <= 0)
        return false;
    const QStringView prefix = part.first(colon);
    const QStringView afterColon = part.sliced(colon + 1);
    const qsizetype length = part.size();
    // The text from position `p` (counted from 1) to the end.
    auto from = [&](qsizetype p) { return p - 1 <= length ? part.sliced(p - 1) : QStringView(); };

    int cmd = 0;
    QStringList params;
    bool ok = false;
    if (prefix == u"AGO" || prefix == u"BGO" || prefix == u"MGO") {
        // Position 5, the axis letter, is the axis's own and not read.
        cmd = prefix == u"AGO" ? Catalogue::AGO : prefix == u"BGO" ? Catalogue::BGO : Catalogue::MGO;
        ok = length == 14 && appendNumbers({from(6)}, params);
    } else if (prefix == u"H") {
        cmd = Catalogue::H;
        ok = length == 3;
    } else if (prefix == u"P") {
        cmd = Catalogue::P;
        if (length >= 4 && appendNumbers({part.sliced(2, 2)}, params)) {
            if (params.first() == QLatin1String("53")) {
                // The four bit switches of parameter 53, kept as one text.
                const QList<QStringView> pieces = afterColon.split(u',');
                QStringList bits;
                ok = length == 12 && pieces.size() == 5 && appendNumbers(pieces.mid(1), bits);
                if (ok) {
                    QString joined;
                    for (QStringView piece : pieces.mid(1))
                        joined += piece;
                    params << joined;
                }
            } else {
                ok = length == 14 && appendNumbers({from(6)}, params);
            }
        }
    } else if (prefix == u"D") {
        cmd = Catalogue::D;
        const QList<QStringView> pieces = from(4).split(u',');
        ok = length == 27 && pieces.size() == 3 && appendNumbers(pieces, params);
    } else if (prefix == u"R") {
        cmd = Catalogue::R;
        ok = length == 12 && appendNumbers({from(4)}, params);
    } else if (prefix == u"C") {
        // Four outputs, one digit each.
        cmd = Catalogue::C;
        ok = length == 6 && allDigits(from(3));
        for (qsizetype p = 3; ok && p <= 6; ++p)
            params << part.sliced(p - 1, 1).toString();
    } else if (prefix == u"S") {
        cmd = Catalogue::S;
        ok = length == 5 && appendNumbers({from(4)}, params);
    } else if (prefix == u"U00" || prefix == u"U04" || prefix == u"U99") {
        cmd = prefix == u"U00" ? Catalogue::U00 : prefix == u"U04" ? Catalogue::U04 : Catalogue::U99;
        ok = length == 4;
    } else if (prefix == u"U01") {
        cmd = Catalogue::U01;
        ok = length == 8 && appendNumbers({from(5)}, params);
    } else if (prefix == u"U02") {
        // The axis or input first, as sent; then the state and the step.
        // A ":" in the first piece would be read from a program file as
        // the end of that parameter.
        cmd = Catalogue::U02;
        const QList<QStringView> pieces = afterColon.split(u',');
        ok = pieces.size() == 3 && !pieces[0].contains(u':');
        if (ok) {
            params << pieces[0].toString();
            ok = appendNumbers(pieces.mid(1), params);
        }
    } else if (prefix == u"U03") {
        cmd = Catalogue::U03;
        const QList<QStringView> pieces = afterColon.split(u',');
        ok = length == 18 && pieces.size() == 2 && appendNumbers(pieces, params);
    } else if (prefix == u"W") {
        cmd = Catalogue::W;
        ok = length == 11 && appendNumbers({from(3)}, params);
    } else if (prefix == u"#") {
        // A free text: everything after the first colon, colons included;
        // not a line end or ",", which the program file could not hold in
        // a cell (saved, the text would come back as other steps or cells).
        cmd = Catalogue::Label;
        params << afterColon.toString();
        ok = !afterColon.contains(u'\r') && !afterColon.contains(u'\n') && !afterColon.contains(u',');
    }
    if (!ok)
        return false;
    cell.cmd = cmd;
    cell.params = params;
    return true;
}

bool mdlUpLoad::bTakeUploadLine(const QByteArray &line)
{
    ++m_upLine;
    if (m_upStep < 1 || m_upStep > kMaxSteps)
        return false;
    // Decoded before it is split: a double-byte character may have "|" as
    // its second byte.
    const QString text = TextCodec::decode(line);
    const QList<QStringView> parts = QStringView(text).split(u'|');

    // The step is built aside and stored only when the whole line reads.
    std::array<ProgCell, kMaxAxes> step = m_upCells[size_t(m_upStep - 1)];
    qsizetype partsRead = 0; // the parts that became cells of their own
    for (qsizetype k = 0; k < parts.size(); ++k) {
        if (k >= kMaxAxes)
            return false;
        ProgCell cell;
        if (!bParseUploadCell(parts[k], cell))
            return false;
        if (m_catalogue.fillsStep(cell.cmd)) {
            // Such a command is the whole step: it stands in the first part,
            // and whatever follows it is not read.
            if (k > 0)
                return false;
            step.fill(cell);
            partsRead = 1;
            break;
        }
        step[size_t(k)] = cell;
        partsRead = k + 1;
    }
    m_upCells[size_t(m_upStep - 1)] = step;

    for (qsizetype k = 0; k < partsRead; ++k) {
        const QString reason = ProgramFile::cellFault(m_catalogue, step[size_t(k)]);
        if (!reason.isEmpty())
            m_problems.append({m_upLine, m_upStep, int(k) + 1, reason});
    }
    ++m_upStep;
    return true;
}

QList<UploadProblem> mdlUpLoad::problems(int axisCount) const
{
    // Cells the document does not get cannot spoil its file.
    const int steps = documentSteps(axisCount);
    QList<UploadProblem> kept;
    for (const UploadProblem &p : m_problems) {
        if (p.step <= steps && p.axis <= axisCount)
            kept << p;
    }
    return kept;
}

int mdlUpLoad::documentSteps(int axisCount) const
{
    const int count = m_upStep - 1;
    return axisCount == 1 ? std::min(count, kOneAxisSteps) : count;
}

QList<ProgStep> mdlUpLoad::finishUpload() const
{
    const int count = documentSteps(m_upAxisCount);
    QList<ProgStep> steps;
    steps.reserve(count);
    for (int s = 0; s < count; ++s) {
        const auto &row = m_upCells[size_t(s)];
        steps << ProgStep(row.begin(), row.begin() + m_upAxisCount);
    }
    return steps;
}
