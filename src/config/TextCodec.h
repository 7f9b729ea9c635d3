#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Conversion between the program's strings and code page 932 (the
// double-byte code of the language files, settings and program files).
//
// Decoding and encoding give back every byte sequence unchanged. Single
// bytes are mapped here: 0x00..0x7F to U+0000..U+007F, the half-width
// katakana 0xA1..0xDF to U+FF61..U+FF9F, 0x80 to U+0080 and 0xA0, 0xFD, 0xFE,
// 0xFF to U+F8F0..U+F8F3. Double-byte pairs go through the converter; a pair
// it cannot map, a pair whose character it writes as another pair (the
// duplicate codes of NEC row 13 and the NEC-selected and IBM extensions) and
// a lead byte without a trail byte decode to the escape U+DC00 + byte (a
// lone low surrogate) for the lead byte, and the escape encodes back to that
// byte.
class TextCodec
{
public:
    static QString decode(QByteArrayView bytes);
    static QByteArray encode(QStringView text);

    // True when the text can be written in code page 932 and reads back
    // as the same text.
    static bool isEncodable(QStringView text);

    // True when every character is written as one byte that reads back as
    // that character: ASCII, half-width katakana, U+0080, U+F8F0..U+F8F3 and
    // escaped lead bytes.
    static bool isSingleByte(QStringView text);

    // Cuts the text so that its code page 932 form holds at most maxBytes
    // bytes, never splitting a double-byte character.
    static QString cutToBytes(const QString &text, int maxBytes);

    // Number of bytes the character takes in code page 932 (1 or 2), as
    // encode writes it.
    static int byteLength(QChar c);

    // Decoded text cut into lines. A line ends at CR LF, at a lone CR or at
    // a lone LF (files written on Linux end their lines so). Text after the
    // last line end is a last line of its own when it is not empty. Neither
    // CR nor LF can be the second byte of a double-byte character, so
    // cutting after decoding is safe.
    static QStringList splitLines(const QString &text);
};
