#include "LastChannel.h"

#include "Channel.h"
#include "config/AtomicFile.h"
#include "config/ProgramFolder.h"

#include <QFile>

int LastChannel::load(const QString &settingsFolder)
{
    QFile file(ProgramFolder::file(settingsFolder, QString::fromLatin1(kFileName)));
    if (!file.open(QIODevice::ReadOnly))
        return Channel::kFirst;
    const QByteArray line = file.read(16).split('\r').first().split('\n').first().trimmed();
    bool ok = false;
    const int channel = line.toInt(&ok);
    return ok && Channel::isValid(channel) ? channel : Channel::kFirst;
}

bool LastChannel::save(const QString &settingsFolder, int channel)
{
    if (!Channel::isValid(channel))
        return false;
    return AtomicFile::write(ProgramFolder::file(settingsFolder, QString::fromLatin1(kFileName)),
                             Channel::text(channel).toLatin1() + "\r\n");
}
