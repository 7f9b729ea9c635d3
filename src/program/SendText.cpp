#include "SendText.h"

#include "Catalogue.h"
#include "config/NumberText.h"

#include <cmath>

namespace {

QChar axisLetter(int axis)
{
    return QChar(u'A' + (axis - 1));
}

// A parameter as a number with at least `digits` digits, the sign in front.
QString withDigits(const QString &text, int digits)
{
    const double v = NumberText::roundHalfEven(NumberText::leadingNumber(text));
    const QString body = QString::number(std::fabs(v), 'f', 0).rightJustified(digits, u'0');
    return v < 0 ? u'-' + body : body;
}

// A value as a sign and at least eight digits: "+00001000", "-00001234".
QString signedEight(const QString &text)
{
    const double v = NumberText::roundHalfEven(NumberText::leadingNumber(text));
    return (v >= 0 ? u'+' : u'-') + QString::number(std::fabs(v), 'f', 0).rightJustified(8, u'0');
}

} // namespace

bool SendText::isAxisParam(const QString &paramNo)
{
    const double n = NumberText::leadingNumber(paramNo);
    return n <= 49 || (n >= 70 && n <= 78) || (n >= 80 && n <= 88);
}

QString SendText::cell(const Catalogue &catalogue, int axis, const ProgCell &cell)
{
    const int c = cell.cmd;
    QString text = catalogue.mnemonic(c);
    if (catalogue.hasAxisLetter(c))
        text += axisLetter(axis);
    const int n = catalogue.paramCount(c);
    if (n == 0)
        return text;

    auto param = [&](int i) { return trimSpaces(cell.param(i)); };
    auto rest = [&](int from) {
        QString s;
        for (int i = from; i <= n; ++i)
            s += u',' + param(i);
        return s;
    };

    switch (c) {
    case Catalogue::C:
        for (int i = 1; i <= n; ++i)
            text += param(i);
        break;
    case Catalogue::S:
    case Catalogue::U01:
    case Catalogue::U03:
        text += withDigits(param(1), 2) + rest(2);
        break;
    case Catalogue::U02:
        text += param(1) + u',' + param(2) + u',' + withDigits(param(3), 2);
        break;
    case Catalogue::P: {
        const QString p1 = param(1);
        QString p2 = param(2);
        text += withDigits(p1, 2);
        const double no = NumberText::roundHalfEven(NumberText::leadingNumber(p1));
        if (no == 53) {
            for (int i = 0; i < 4; ++i)
                text += u',' + p2.mid(i, 1);
            break;
        }
        if (no == 4 || no == 52 || no == 90)
            p2 = withDigits(p2, 2);
        else if (no == 22)
            p2 = withDigits(p2, 3);
        else if (no == 11 || no == 14 || no == 15 || no == 25 || no == 26 || no == 73)
            p2 = signedEight(p2);
        if (isAxisParam(p1))
            text += axisLetter(axis) + p2;
        else
            text += u',' + p2;
        break;
    }
    default:
        text += param(1) + rest(2);
        break;
    }
    return text;
}

QString SendText::step(const Catalogue &catalogue, const ProgStep &cells)
{
    if (cells.isEmpty())
        return QString();
    if (catalogue.isSendOnce(cells.first().cmd))
        return cell(catalogue, 1, cells.first());
    QStringList parts;
    for (int axis = 1; axis <= cells.size(); ++axis)
        parts << cell(catalogue, axis, cells.at(axis - 1));
    return parts.join(u'|');
}
