#include "StepFormat.h"

#include <QList>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kMaxParts = 3;

// An optional sign and one to nine digits, nothing else.
std::optional<qint64> number(QByteArrayView text)
{
    QByteArrayView digits = text;
    if (digits.startsWith('+') || digits.startsWith('-'))
        digits = digits.sliced(1);
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    qint64 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return text.startsWith('-') ? -value : value;
}

// The value written with exactly `digits` digits, zero padded; nothing when
// it does not fit or, without a sign, is negative.
std::optional<QByteArray> field(qint64 value, int digits, bool withSign)
{
    if (!withSign && value < 0)
        return std::nullopt;
    const QByteArray body = QByteArray::number(std::llabs(value)).rightJustified(digits, '0');
    if (body.size() > digits)
        return std::nullopt;
    if (!withSign)
        return body;
    return (value < 0 ? QByteArray("-") : QByteArray("+")) + body;
}

std::optional<QByteArray> field(QByteArrayView text, int digits, bool withSign)
{
    const std::optional<qint64> value = number(text);
    if (!value)
        return std::nullopt;
    return field(*value, digits, withSign);
}

bool isAxisLetter(char c)
{
    return c >= 'A' && c <= 'C';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "A1000" after "AGO:", "R:": the axis letter and one signed eight-digit number.
std::optional<QByteArray> letterAndNumber(QByteArrayView rest)
{
    if (rest.isEmpty() || !isAxisLetter(rest.front()))
        return std::nullopt;
    const std::optional<QByteArray> value = field(rest.sliced(1), 8, true);
    if (!value)
        return std::nullopt;
    return QByteArray(1, rest.front()) + *value;
}

QList<QByteArrayView> pieces(QByteArrayView text)
{
    QList<QByteArrayView> list;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text.at(i) == ',') {
            list << text.sliced(from, i - from);
            from = i + 1;
        }
    }
    return list;
}

// The parameter write: "P:11B-00001234", "P:60,1", "P:53,1,0,1,1".
std::optional<QByteArray> parameterPart(QByteArrayView rest)
{
    if (rest.size() < 3 || !isDigit(rest.at(0)) || !isDigit(rest.at(1)))
        return std::nullopt;
    const QByteArray no = rest.first(2).toByteArray();
    if (no == "53") {
        const QList<QByteArrayView> bits = pieces(rest.sliced(2));
        if (bits.size() != 5 || !bits.at(0).isEmpty())
            return std::nullopt;
        for (int i = 1; i < 5; ++i) {
            if (bits.at(i).size() != 1 || !isDigit(bits.at(i).front()))
                return std::nullopt;
        }
        return "P:" + rest.toByteArray();
    }
    const char where = rest.at(2);
    if (where != ',' && !isAxisLetter(where))
        return std::nullopt;
    const std::optional<QByteArray> value = field(rest.sliced(3), 8, true);
    if (!value)
        return std::nullopt;
    return "P:" + no + where + *value;
}

// The speed set-up "D:A100,5000,200": axis letter and three numbers.
std::optional<QByteArray> speedPart(QByteArrayView rest)
{
    if (rest.isEmpty() || !isAxisLetter(rest.front()))
        return std::nullopt;
    const QList<QByteArrayView> values = pieces(rest.sliced(1));
    if (values.size() != 3)
        return std::nullopt;
    const auto low = field(values.at(0), 7, true);
    const auto high = field(values.at(1), 7, true);
    const auto ramp = field(values.at(2), 5, true);
    if (!low || !high || !ramp)
        return std::nullopt;
    return "D:" + QByteArray(1, rest.front()) + *low + ',' + *high + ',' + *ramp;
}

// The conditional jump "U02:B,1,07": an axis letter or number, then two numbers.
std::optional<QByteArray> conditionalJumpPart(QByteArrayView rest)
{
    const QList<QByteArrayView> values = pieces(rest);
    if (values.size() != 3)
        return std::nullopt;
    const QByteArrayView what = values.at(0);
    const bool letter = what.size() == 1 && isAxisLetter(what.front());
    const auto state = number(values.at(1));
    // The target step has at least two digits: steps 100..199 take three.
    const auto target = number(values.at(2));
    if ((!letter && !number(what)) || !state || !target || *target < 0 || *target > 999)
        return std::nullopt;
    return "U02:" + what.toByteArray() + ',' + QByteArray::number(*state) + ','
        + QByteArray::number(*target).rightJustified(2, '0');
}

// The counted jump "U03:03,100": two numbers.
std::optional<QByteArray> countedJumpPart(QByteArrayView rest)
{
    const QList<QByteArrayView> values = pieces(rest);
    if (values.size() != 2)
        return std::nullopt;
    const auto target = field(values.at(0), 3, true);
    const auto count = field(values.at(1), 8, true);
    if (!target || !count)
        return std::nullopt;
    return "U03:" + *target + ',' + *count;
}

std::optional<QByteArray> uploadPart(QByteArrayView part)
{
    const qsizetype colon = part.indexOf(':');
    if (colon <= 0)
        return std::nullopt;
    const QByteArray prefix = part.first(colon).toByteArray();
    const QByteArrayView rest = part.sliced(colon + 1);
    const QByteArray head = prefix + ':';

    if (prefix == "AGO" || prefix == "BGO" || prefix == "MGO") {
        const auto body = letterAndNumber(rest);
        return body ? std::optional(head + *body) : std::nullopt;
    }
    if (prefix == "R") {
        const auto body = letterAndNumber(rest);
        return body ? std::optional(head + *body) : std::nullopt;
    }
    if (prefix == "H") {
        if (rest.size() != 1 || !isAxisLetter(rest.front()))
            return std::nullopt;
        return part.toByteArray();
    }
    if (prefix == "P")
        return parameterPart(rest);
    if (prefix == "D")
        return speedPart(rest);
    if (prefix == "C") {
        if (rest.size() != 4 || !std::all_of(rest.begin(), rest.end(), isDigit))
            return std::nullopt;
        return part.toByteArray();
    }
    if (prefix == "S") {
        if (rest.isEmpty() || !isAxisLetter(rest.front()))
            return std::nullopt;
        const auto speed = field(rest.sliced(1), 2, false);
        return speed ? std::optional(head + rest.front() + *speed) : std::nullopt;
    }
    if (prefix == "U00" || prefix == "U04" || prefix == "U99") {
        if (!rest.isEmpty())
            return std::nullopt;
        return head;
    }
    if (prefix == "U01") {
        const auto target = field(rest, 4, false);
        return target ? std::optional(head + *target) : std::nullopt;
    }
    if (prefix == "U02")
        return conditionalJumpPart(rest);
    if (prefix == "U03")
        return countedJumpPart(rest);
    if (prefix == "W") {
        const auto time = field(rest, 8, true);
        return time ? std::optional(head + *time) : std::nullopt;
    }
    if (prefix == "#") {
        // A comma would split the text where the host reads the line.
        if (rest.contains(','))
            return std::nullopt;
        return part.toByteArray();
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> StepFormat::uploadLine(QByteArrayView stepText)
{
    QList<QByteArray> parts;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= stepText.size(); ++i) {
        if (i < stepText.size() && stepText.at(i) != '|')
            continue;
        if (parts.size() == kMaxParts)
            return std::nullopt;
        const std::optional<QByteArray> part = uploadPart(stepText.sliced(from, i - from));
        if (!part)
            return std::nullopt;
        parts << *part;
        from = i + 1;
    }
    return parts.join('|');
}
