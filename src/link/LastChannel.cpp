#include "LastChannel.h"

#include "Channel.h"
#include "config/SettingLine.h"

int LastChannel::load(const QString &settingsFolder)
{
    bool ok = false;
    const int channel = SettingLine::read(settingsFolder, kFileName).toInt(&ok);
    return ok && Channel::isValid(channel) ? channel : Channel::kFirst;
}

bool LastChannel::save(const QString &settingsFolder, int channel)
{
    if (!Channel::isValid(channel))
        return false;
    return SettingLine::write(settingsFolder, kFileName, Channel::text(channel).toLatin1());
}
