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
    if (at(i) == u'+' || at(i) == u'-')
        number += char(at(i++));
    bool digits = false;
    while (isDigit(at(i))) {
        number += char(at(i++));
        digits = true;
    }
    if (at(i) == u'.') {
        qsizetype j = i + 1;
        QByteArray frac = ".";
        while (isDigit(at(j)))
            frac += char(at(j++));
        if (frac.size() > 1 || digits) {
            number += frac;
            digits = digits || frac.size() > 1;
            i = j;
        }
    }
    if (!digits)
        return 0.0;
    if (at(i) == u'e' || at(i) == u'E') {
        qsizetype j = i + 1;
        QByteArray exp = "e";
        if (at(j) == u'+' || at(j) == u'-')
            exp += char(at(j++));
        if (isDigit(at(j))) {
            while (isDigit(at(j)))
                exp += char(at(j++));
            number += exp;
        }
    }
    bool ok = false;
    const double v = number.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return 0.0;
    return v;
}

double NumberText::roundHalfEven(double value)
{
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
    constexpr double lo = double(std::numeric_limits<qint64>::min());
    constexpr double hi = 9.2e18;
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
