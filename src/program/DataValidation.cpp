#include "DataValidation.h"

#include "Catalogue.h"
#include "ProgCell.h"
#include "config/NumberText.h"
#include "config/TextCodec.h"
#include "config/clsIniFile.h"

#include <algorithm>

namespace {

bool isPlainNumber(QStringView text)
{
    const QStringView digits = text.startsWith(u'-') ? text.mid(1) : text;
    return !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
}

// What a free text may hold: characters that are one byte each in the
// program file (ASCII and half-width katakana), no control character (a
// CR would end the command on the wire and the line in the file), and
// neither "," nor "|", which separate the parameters in the program file
// and the parts of the transmission text.
bool isStorableText(const QString &text)
{
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control || c.isSurrogate() || c == u',' || c == u'|')
            return false;
    }
    return TextCodec::isSingleByte(text);
}

// Parameter 22 takes 0 or a value from 100 up, nothing in between.
constexpr int kParamGapped = 22;

DataCheck refuse(int message, const QString &argument, int field)
{
    DataCheck r;
    r.ok = false;
    r.message = message;
    r.argument = argument;
    r.field = field;
    return r;
}

} // namespace

bool DataValidation::checkRange(QString &text, const QString &minimum, const QString &maximum)
{
    text = text.trimmed();

    // Axis letter: a plain code unit comparison, so "B7" passes (it sorts
    // between "A" and "C") while "C1" and lower case "a" do not.
    if ((minimum.contains(u'A') || maximum.contains(u'A'))
        && text >= QLatin1String("A") && text <= QLatin1String("C"))
        return true;

    // A number typed here is an optional minus and digits, nothing else: a
    // mistyped "--5" or "1-2" must not quietly become another target
    // position.
    if (!isPlainNumber(text))
        return false;

    const double lower = NumberText::roundHalfEven(Catalogue::rangeBound(minimum, u'A'));
    const double upper = NumberText::roundHalfEven(Catalogue::rangeBound(maximum, u'A'));

    // A number too long to convert reads as infinite and is refused here.
    const double v = NumberText::leadingNumber(text);
    if (v < -Catalogue::kValueLimit || v > Catalogue::kValueLimit)
        return false;
    const double t = NumberText::roundHalfEven(v);
    if (t < lower || t > upper)
        return false;
    text = QString::number(qint64(t)); // also turns "-0" into "0"
    return true;
}

QString DataValidation::rangeText(const Catalogue &catalogue, int cmd, int field)
{
    const QStringList ranges = catalogue.list(cmd, Catalogue::Ranges);
    const QString lo = ranges.value(2 * field - 2);
    const QString hi = ranges.value(2 * field - 1);
    if (lo.isEmpty() || hi.isEmpty())
        return QString();
    const QString dots = QStringLiteral(" \u2026 ");
    if (lo.contains(u'L'))
        return NumberText::shortest(Catalogue::rangeBound(lo, u'L')) + dots
            + NumberText::shortest(Catalogue::rangeBound(hi, u'L'));
    // A letter bound admits the axis letters; its numbers may admit none.
    if (lo.contains(u'A') || hi.contains(u'A')) {
        const double a = Catalogue::rangeBound(lo, u'A');
        const double b = Catalogue::rangeBound(hi, u'A');
        const QString letters = QStringLiteral("A") + dots + QStringLiteral("C");
        return a > b ? letters
                     : letters + QStringLiteral(", ") + NumberText::shortest(a) + dots + NumberText::shortest(b);
    }
    return NumberText::shortest(Catalogue::rangeBound(lo, u'A')) + dots
        + NumberText::shortest(Catalogue::rangeBound(hi, u'A'));
}

bool DataValidation::isWritableParam(const QString &text)
{
    const qint64 n = NumberText::leadingInteger(text);
    switch (n) {
    case 4: case 19: case 51: case 52: case 53: case 56: case 60:
        return false;
    default:
        return n < 70 || n > 78;
    }
}

bool DataValidation::checkParamValue(const QString &numberText, const QString &valueText,
                                     const Catalogue &catalogue)
{
    const qint64 p = NumberText::leadingInteger(numberText);
    if (p < 0 || p >= Catalogue::kParamNumberCount)
        return false;
    const double v = NumberText::leadingNumber(valueText);
    const double minimum = NumberText::leadingNumber(catalogue.getParamMin(int(p)));
    const double maximum = NumberText::leadingNumber(catalogue.getParamMax(int(p)));
    if (v < minimum || v > maximum)
        return false;
    if (p == kParamGapped && v > 0 && v < 100)
        return false;
    return true;
}

DataCheck DataValidation::validateData(const Catalogue &catalogue, const clsIniFile &langIni,
                                       int cmd, const QStringList &fields, QStringList &data)
{
    const int n = catalogue.paramCount(cmd);
    if (n == 0)
        return {};

    while (data.size() <= n)
        data << QString();

    const QStringList ranges = catalogue.list(cmd, Catalogue::Ranges);
    const QStringList captions = catalogue.list(cmd, Catalogue::Captions);
    auto label = [&](int i) { return captions.value(i - 1); };
    const int given = std::min<int>(int(fields.size()), n);

    // Free text: its length limits follow the "L" of the first two range
    // entries and count the text as typed, blanks included.
    if (ranges.value(0).contains(u'L')) {
        if (given < 1)
            return {};
        const QString &typed = fields.at(0);
        const qsizetype lo = qsizetype(Catalogue::rangeBound(ranges.value(0), u'L'));
        const qsizetype hi = qsizetype(Catalogue::rangeBound(ranges.value(1), u'L'));
        if (typed.size() < lo || typed.size() > hi || !isStorableText(typed))
            return refuse(kMsgInvalidValue, label(1), 1);
        data[1] = trimSpaces(typed);
        return {};
    }

    for (int i = 1; i <= given; ++i) {
        QString text = fields.at(i - 1);
        if (!checkRange(text, ranges.value(2 * i - 2), ranges.value(2 * i - 1)))
            return refuse(kMsgInvalidValue, label(i), i);
        data[i] = text;
    }

    // The rules below read the normalised values; a field not shown keeps
    // the cell's own value.
    if (cmd == Catalogue::P && n >= 2) {
        if (!isWritableParam(data.at(1)))
            return refuse(kMsgNotWritable, label(1), 1);
        if (!checkParamValue(data.at(1), data.at(2), catalogue))
            return refuse(kMsgInvalidValue, label(2), 2);
    }

    if (cmd == Catalogue::D && n >= 2) {
        if (NumberText::leadingNumber(data.at(1)) > NumberText::leadingNumber(data.at(2)))
            return refuse(kMsgInvalidValue,
                          langIni.GetINIStr(QStringLiteral("dlgData"), QStringLiteral("Mes006")),
                          1);
    }

    return {};
}
