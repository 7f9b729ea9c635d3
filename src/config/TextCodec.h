#pragma once

#include <QByteArray>
#include <QString>

// Conversion between the program's strings and code page 932 (the
// double-byte code of the language files, settings and program files).
class TextCodec
{
public:
    static QString decode(QByteArrayView bytes);
    static QByteArray encode(QStringView text);

    // True when the text can be written in code page 932.
    static bool isEncodable(QStringView text);

    // True when every character is a single byte in code page 932:
    // ASCII or half-width katakana.
    static bool isSingleByte(QStringView text);

    // Cuts the text so that its code page 932 form holds at most maxBytes
    // bytes, never splitting a double-byte character.
    static QString cutToBytes(const QString &text, int maxBytes);

    // Number of bytes the character takes in code page 932 (1 or 2).
    static int byteLength(QChar c);
};
