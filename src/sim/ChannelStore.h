#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// The simulated controller's program memory: channels 1..15, each a list of
// step transmission texts (bytes, as received), and the text file that
// keeps them across runs. The file holds one line per step, in channel and
// step order: the two-digit channel, a blank, the step text; lines end with
// LF. Empty channels have no lines.
class ChannelStore
{
public:
    static constexpr int kChannelCount = 15;

    static bool isChannel(int channel) { return channel >= 1 && channel <= kChannelCount; }

    // Empty for a channel outside 1..15.
    QList<QByteArray> program(int channel) const;
    void setProgram(int channel, const QList<QByteArray> &steps);

    // A missing file gives empty channels; a file that cannot be read or
    // holds a line of another form is refused with the reason.
    bool load(const QString &path, QString *error);
    // Replaces the file as a whole.
    bool save(const QString &path, QString *error) const;

private:
    std::array<QList<QByteArray>, kChannelCount> m_channels;
};
