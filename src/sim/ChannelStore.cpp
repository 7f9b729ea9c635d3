#include "ChannelStore.h"

#include "config/AtomicFile.h"

#include <QFile>

QList<QByteArray> ChannelStore::program(int channel) const
{
    return isChannel(channel) ? m_channels.at(channel - 1) : QList<QByteArray>();
}

void ChannelStore::setProgram(int channel, const QList<QByteArray> &steps)
{
    if (isChannel(channel))
        m_channels.at(channel - 1) = steps;
}

bool ChannelStore::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        m_channels = {};
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    std::array<QList<QByteArray>, kChannelCount> channels;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        bool ok = false;
        const int channel = line.left(2).toInt(&ok);
        if (line.size() < 4 || line.at(2) != ' ' || !ok || !isChannel(channel)) {
            if (error)
                *error = QStringLiteral("%1:%2: not a channel line (two-digit channel, blank, step)")
                             .arg(path)
                             .arg(i + 1);
            return false;
        }
        channels.at(channel - 1) << line.mid(3);
    }
    m_channels = channels;
    return true;
}

bool ChannelStore::save(const QString &path, QString *error) const
{
    QByteArray text;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const QByteArray prefix = QByteArray::number(channel).rightJustified(2, '0') + ' ';
        for (const QByteArray &step : m_channels.at(channel - 1))
            text += prefix + step + '\n';
    }
    QString reason;
    if (!AtomicFile::write(path, text, &reason)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    }
    return true;
}
