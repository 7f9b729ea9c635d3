#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QVarLengthArray>

#include <algorithm>
#include <bitset>
#include <optional>

// The converter alone does not give back every byte it was given: bytes that
// belong to no character (0x80, 0xA0, 0xFD..0xFF, a lead byte before a byte
// that cannot follow it) all decode to U+001A, which encodes as 0x7F, a lead
// byte at the end of the input is dropped, and the control bytes 0x1A, 0x1C
// and 0x7F are exchanged among themselves. Program files
// keep free texts whose bytes must be written back unchanged, so every byte
// that stands alone is decoded and encoded here, and only double-byte pairs
// go through the converter. A pair the converter cannot map and a lead byte
// without its trail byte decode to an escape, a lone low surrogate
// U+DC80..U+DCFF, that encodes back to exactly that byte. So does the lead
// byte of a duplicate code (NEC row 13, the NEC-selected and IBM extensions
// hold characters that have another code): read as its character it would
// be written back as the other code, which may even pair up with an escaped
// lead byte before it.

namespace {

constexpr const char *kCodecName = "windows-31j";

constexpr char16_t kKatakanaFirst = 0xFF61; // byte 0xA1
constexpr char16_t kKatakanaLast = 0xFF9F;  // byte 0xDF
constexpr uchar kKatakanaFirstByte = 0xA1;
// The single bytes above 0x7F that are neither katakana nor lead bytes:
// 0x80 keeps its own code point, 0xA0 and 0xFD..0xFF get private-use ones.
constexpr char16_t kPrivateFirst = 0xF8F0;
constexpr uchar kPrivateBytes[] = {0xA0, 0xFD, 0xFE, 0xFF};
// Escape of byte b (0x80..0xFF): U+DC00 + b.
constexpr char16_t kEscapeBase = 0xDC00;

// Bytes of pairs handed to the converter in one call. After an unmappable
// pair the pairs behind it are decoded anew one byte on, so the next call
// takes a single pair and each clean call doubles the count: a long stretch
// of unmappable pairs costs one pair per call, not the rest of the stretch.
constexpr qsizetype kFirstRunBytes = 2;
constexpr qsizetype kLongestRunBytes = 1 << 16;

bool isLeadByte(uchar b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(uchar b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

bool startsPair(const uchar *b, qsizetype i, qsizetype n)
{
    return i + 1 < n && isLeadByte(b[i]) && isTrailByte(b[i + 1]);
}

// The character of a byte that is not part of a pair.
char16_t charOfByte(uchar b)
{
    if (b < 0x80)
        return b;
    if (b >= kKatakanaFirstByte && b <= 0xDF)
        return char16_t(kKatakanaFirst + (b - kKatakanaFirstByte));
    if (b == 0x80)
        return 0x80;
    for (int k = 0; k < 4; ++k) {
        if (kPrivateBytes[k] == b)
            return char16_t(kPrivateFirst + k);
    }
    return char16_t(kEscapeBase + b); // a lead byte without its trail byte
}

// The byte of a character written as a single byte, or -1 for a character
// the converter writes. An escape counts here; the caller rules out a low
// surrogate that completes a surrogate pair.
int byteOfChar(char16_t u)
{
    if (u < 0x80)
        return u;
    if (u >= kKatakanaFirst && u <= kKatakanaLast)
        return kKatakanaFirstByte + (u - kKatakanaFirst);
    if (u == 0x80)
        return 0x80;
    if (u >= kPrivateFirst && u < kPrivateFirst + 4)
        return kPrivateBytes[u - kPrivateFirst];
    if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF)
        return u - kEscapeBase;
    return -1;
}

int byteAt(QStringView text, qsizetype i)
{
    if (i > 0 && text.at(i).isLowSurrogate() && text.at(i - 1).isHighSurrogate())
        return -1;
    return byteOfChar(text.at(i).unicode());
}

// What the converter puts for a pair it cannot map (U+FFFD) or for a byte
// it does not take as part of a pair (U+001A).
bool isSubstitute(QChar c)
{
    return c == QChar::ReplacementCharacter || c.unicode() == 0x1A;
}

// The pairs the converter reads as a character that it writes as another
// pair, one bit per pair (lead byte * 256 + trail byte), found once.
bool isDuplicateCode(const uchar *pair)
{
    static const std::bitset<0x10000> duplicates = [] {
        std::bitset<0x10000> found;
        QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
        QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
        if (!decoder.isValid() || !encoder.isValid())
            return found;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                const char bytes[2] = {char(lead), char(trail)};
                if (!isLeadByte(uchar(lead)) || !isTrailByte(uchar(trail)))
                    continue;
                const QString c = decoder(QByteArrayView(bytes, 2));
                if (c.size() == 1 && !isSubstitute(c.at(0))
                    && QByteArray(encoder(c)) != QByteArrayView(bytes, 2))
                    found.set(size_t(lead * 256 + trail));
            }
        }
        return found;
    }();
    return duplicates.test(size_t(pair[0] * 256 + pair[1]));
}

} // namespace

QString TextCodec::decode(QByteArrayView bytes)
{
    // The converter is opened at the first double-byte pair only: most texts
    // (every command and reply on the line) hold none, and opening it costs
    // more than decoding them.
    std::optional<QStringDecoder> converter;
    auto decoder = [&]() -> QStringDecoder & {
        if (!converter)
            converter.emplace(kCodecName, QStringConverter::Flag::Stateless);
        return *converter;
    };
    const auto *b = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    // Every byte gives at most one character.
    QString out(n, Qt::Uninitialized);
    QChar *o = out.data();
    QVarLengthArray<QChar, 256> scratch;

    // Decodes the pair at b[i] alone; false when it has to be escaped.
    auto decodePair = [&](qsizetype i) {
        if (!decoder().isValid())
            return false;
        QChar one[8];
        const QChar *end = decoder().appendToBuffer(one, QByteArrayView(b + i, 2));
        if (end - one != 1 || isSubstitute(one[0]) || isDuplicateCode(b + i))
            return false;
        *o++ = one[0];
        return true;
    };

    qsizetype runBytes = kFirstRunBytes;
    qsizetype i = 0;
    while (i < n) {
        if (!startsPair(b, i, n)) {
            *o++ = QChar(charOfByte(b[i++]));
            continue;
        }
        qsizetype end = i + 2;
        while (end - i < runBytes && startsPair(b, end, n))
            end += 2;
        const qsizetype pairs = (end - i) / 2;

        qsizetype got = -1;
        if (decoder().isValid()) {
            scratch.resize(decoder().requiredSpace(end - i));
            got = decoder().appendToBuffer(scratch.data(), QByteArrayView(b + i, end - i))
                  - scratch.data();
        }
        if (got == pairs) {
            qsizetype k = 0;
            while (k < pairs && !isSubstitute(scratch[k]) && !isDuplicateCode(b + i + 2 * k))
                *o++ = scratch[k++];
            i += 2 * k;
            if (k == pairs) {
                runBytes = std::min(2 * runBytes, kLongestRunBytes);
                continue;
            }
            // An unmappable pair or a duplicate code: its lead byte is
            // escaped and decoding goes on with the byte after it, which may
            // start a pair of its own.
            *o++ = QChar(char16_t(kEscapeBase + b[i++]));
            runBytes = kFirstRunBytes;
            continue;
        }
        // The run did not come out as one character per pair: pair by pair,
        // until a pair has to be escaped, which shifts the pairs after it.
        while (i < end && decodePair(i))
            i += 2;
        if (i < end)
            *o++ = QChar(char16_t(kEscapeBase + b[i++]));
        runBytes = kFirstRunBytes;
    }
    out.truncate(o - out.constData());
    return out;
}

QByteArray TextCodec::encode(QStringView text)
{
    // Opened at the first character that is not a single byte (see decode).
    std::optional<QStringEncoder> converter;
    auto encoder = [&]() -> QStringEncoder & {
        if (!converter)
            converter.emplace(kCodecName, QStringConverter::Flag::Stateless);
        return *converter;
    };
    const qsizetype n = text.size();
    QByteArray out(n, Qt::Uninitialized);
    qsizetype pos = 0;
    qsizetype i = 0;
    while (i < n) {
        const int single = byteAt(text, i);
        if (single >= 0) {
            if (pos == out.size())
                out.resize(std::max<qsizetype>(2 * out.size(), 16));
            out[pos++] = char(single);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && byteAt(text, j) < 0)
            ++j;
        const QStringView run = text.sliced(i, j - i);
        if (encoder().isValid()) {
            const qsizetype need = pos + encoder().requiredSpace(run.size() + 1);
            if (need > out.size())
                out.resize(std::max(need, 2 * out.size()));
            if (run.back().isHighSurrogate()) {
                // A lone high surrogate at the end of a call would be dropped
                // as pending input; with a blank behind it the converter
                // writes its substitute, as it does inside a text.
                const QString closed = run.toString() + u' ';
                pos = encoder().appendToBuffer(out.data() + pos, closed) - out.constData() - 1;
            } else {
                pos = encoder().appendToBuffer(out.data() + pos, run) - out.constData();
            }
        } else {
            const QByteArray latin = run.toLatin1();
            out.resize(std::max(pos + latin.size(), out.size()));
            std::copy(latin.begin(), latin.end(), out.begin() + pos);
            pos += latin.size();
        }
        i = j;
    }
    out.truncate(pos);
    return out;
}

bool TextCodec::isEncodable(QStringView text)
{
    // Characters the converter cannot map come out as a substitute, which
    // decodes to something else; the round trip shows them.
    return decode(encode(text)) == text;
}

int TextCodec::byteLength(QChar c)
{
    return byteOfChar(c.unicode()) >= 0 ? 1 : 2;
}

bool TextCodec::isSingleByte(QStringView text)
{
    // As many bytes as characters, decoding back to the same text: every
    // character is one byte that reads back as itself.
    const QByteArray bytes = encode(text);
    return bytes.size() == text.size() && decode(bytes) == text;
}

QString TextCodec::cutToBytes(const QString &text, int maxBytes)
{
    int bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A surrogate pair has no code page 932 form; count it as two
        // bytes for each half so it is either kept whole or cut whole.
        const int len = byteLength(text.at(i));
        if (text.at(i).isHighSurrogate() && i + 1 < text.size()
            && text.at(i + 1).isLowSurrogate()) {
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

QStringList TextCodec::splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}
