#pragma once

#include <QString>

// Numbers held as texts: cells, catalogue columns, settings and the command
// line are all read the same way.
class NumberText
{
public:
    // The leading decimal number of the text: blanks before it are skipped,
    // an optional sign, digits, a decimal part and an exponent are read, and
    // reading stops at the first character that cannot continue the number.
    // A text without a number reads as 0, a number too large for a double as
    // infinity of its sign, one too small as 0.
    static double leadingNumber(QStringView text);

    // Rounds to the nearest integer, a half going to the even neighbour;
    // infinities stay as they are.
    static double roundHalfEven(double value);

    // leadingNumber, then roundHalfEven, clamped into the range of qint64
    // (infinities to its minimum and maximum).
    static qint64 leadingInteger(QStringView text);

    // The decimal text of a number in its shortest form ("1", "0.5", "-3").
    static QString shortest(double value);

    // True when every character is "-" or a decimal digit (an empty text
    // too): such a text reads as a sign and the digits behind it.
    static bool isSignsAndDigits(QStringView text);

    // The value with at least `digits` digits, zeros in front ("5" -> "05").
    static QString padded(QStringView text, int digits);
};
