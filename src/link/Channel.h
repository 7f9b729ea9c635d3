#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The controller's program channels: 1..15, always written with two digits
// on the wire and in the channel lists ("01" .. "15"). Channel 99 is not a
// program channel: a LOAD with it precedes run start and stop.
namespace Channel {

constexpr int kFirst = 1;
constexpr int kLast = 15;
constexpr int kCount = kLast - kFirst + 1;
constexpr int kRunControl = 99;

constexpr bool isValid(int channel) { return channel >= kFirst && channel <= kLast; }

// "01" for 1, "15" for 15, "99" for 99.
inline QString text(int channel) { return QString::number(channel).rightJustified(2, u'0'); }

// A command keyword with its channel: "CHINF:03".
inline QByteArray command(const char *keyword, int channel)
{
    return QByteArray(keyword) + text(channel).toLatin1();
}

// A list of channels as a user writes it, "1,3-5": each channel once, in
// ascending order. Empty for text that is no such list (a channel outside
// 1..15, a range that runs backwards, an empty item).
QList<int> parseList(QStringView text);

} // namespace Channel
