#include "NumberText.h"

#include <algorithm>
#include <cmath>
#include <limits>

double NumberText::leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto at = [&](qsizetype k) { return k < n ? text.at(k).unicode() : char16_t(0); };
    auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };

    while (i < n && (at(i) == u' ' || at(i) == u'\t'))
        ++i;

    QByteArray number;
    const bool negative = at(i) == u'-';
    if (at(i) == u'+' || at(i) == u'-')
        number += char(at(i++));
    // Digits before the point from the first significant one on, or minus
    // the zeros after the point in front of it: with the exponent it tells a
    // number too large from one too small when the conversion fails.
    qint64 magnitude = 0;
    bool significant = false;
    bool digits = false;
    while (isDigit(at(i))) {
        if (at(i) != u'0')
            significant = true;
        if (significant)
            ++magnitude;
        number += char(at(i++));
        digits = true;
    }
    if (at(i) == u'.') {
        qsizetype j = i + 1;
        QByteArray frac = ".";
        qint64 zeros = 0;
        while (isDigit(at(j))) {
            if (!significant && at(j) == u'0')
                ++zeros;
            else if (!significant)
                significant = true;
            frac += char(at(j++));
        }
        if (frac.size() > 1 || digits) {
            number += frac;
            digits = digits || frac.size() > 1;
            i = j;
            if (magnitude == 0)
                magnitude = -zeros;
        }
    }
    if (!digits)
        return 0.0;
    qint64 exponent = 0;
    if (at(i) == u'e' || at(i) == u'E') {
        qsizetype j = i + 1;
        QByteArray exp = "e";
        const bool negativeExp = at(j) == u'-';
        if (at(j) == u'+' || at(j) == u'-')
            exp += char(at(j++));
        if (isDigit(at(j))) {
            while (isDigit(at(j))) {
                // Far beyond any double; kept there so it cannot overflow.
                exponent = std::min<qint64>(exponent * 10 + (at(j) - u'0'), qint64(1) << 40);
                exp += char(at(j++));
            }
            number += exp;
            if (negativeExp)
                exponent = -exponent;
        }
    }
    bool ok = false;
    const double v = number.toDouble(&ok);
    if (ok && std::isfinite(v))
        return v;
    // The digits form a number, so the conversion failed on its size: one
    // too large for a double reads as infinity of its sign, which every
    // range check refuses; one too small reads as 0.
    if (significant && magnitude + exponent > 0)
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    return 0.0;
}

double NumberText::roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    // rint follows the current rounding mode, which is round-to-nearest-even
    // unless someone changed it; do it by hand to be independent of that.
    const double fl = std::floor(value);
    const double diff = value - fl;
    if (diff > 0.5)
        return fl + 1.0;
    if (diff < 0.5)
        return fl;
    return std::fmod(fl, 2.0) == 0.0 ? fl : fl + 1.0;
}

qint64 NumberText::leadingInteger(QStringView text)
{
    const double v = roundHalfEven(leadingNumber(text));
    // -2^63 and 2^63: every double strictly between them converts exactly.
    constexpr double lo = double(std::numeric_limits<qint64>::min());
    constexpr double hi = -lo;
    if (std::isnan(v))
        return 0;
    if (v <= lo)
        return std::numeric_limits<qint64>::min();
    if (v >= hi)
        return std::numeric_limits<qint64>::max();
    return qint64(v);
}

QString NumberText::shortest(double value)
{
    if (value == 0.0)
        return QStringLiteral("0");
    return QString::number(value, 'g', 15);
}

bool NumberText::isSignsAndDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return c == u'-' || (c >= u'0' && c <= u'9');
    });
}

QString NumberText::padded(QStringView text, int digits)
{
    QString t = text.trimmed().toString();
    bool negative = t.startsWith(u'-');
    QString body = negative ? t.mid(1) : t;
    if (body.size() < digits)
        body = QString(digits - body.size(), u'0') + body;
    return negative ? u'-' + body : body;
}
