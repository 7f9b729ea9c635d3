#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
constexpr const char *kCodecName = "windows-31j";
}

QString TextCodec::decode(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodecName);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray TextCodec::encode(QStringView text)
{
    QStringEncoder encoder(kCodecName);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

bool TextCodec::isEncodable(QStringView text)
{
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return false;
    // ICU substitutes characters it cannot map; a round trip shows them.
    return decode(bytes) == text;
}

int TextCodec::byteLength(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return 1;
    if (u >= 0xFF61 && u <= 0xFF9F) // half-width katakana
        return 1;
    // The few single bytes above 0x7F that are no katakana.
    if (u == 0x80 || u == 0xA0 || (u >= 0xF8F0 && u <= 0xF8F3))
        return 1;
    return 2;
}

bool TextCodec::isSingleByte(QStringView text)
{
    for (QChar c : text) {
        if (byteLength(c) != 1)
            return false;
    }
    return true;
}

QString TextCodec::cutToBytes(const QString &text, int maxBytes)
{
    int bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A surrogate pair has no code page 932 form; count it as two
        // bytes for each half so it is either kept whole or cut whole.
        const int len = byteLength(text.at(i));
        if (text.at(i).isHighSurrogate() && i + 1 < text.size()) {
            if (bytes + 2 * len > maxBytes)
                return text.left(i);
            bytes += 2 * len;
            ++i;
            continue;
        }
        if (bytes + len > maxBytes)
            return text.left(i);
        bytes += len;
    }
    return text;
}
