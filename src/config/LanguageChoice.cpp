#include "LanguageChoice.h"

#include "SettingLine.h"

QString LanguageChoice::load(const QString &settingsFolder)
{
    const QByteArray value = SettingLine::read(settingsFolder, kFileName);
    return value == "0" || value == "1" ? QString::fromLatin1(value) : QString();
}

bool LanguageChoice::save(const QString &settingsFolder, int langNo)
{
    if (langNo != 0 && langNo != 1)
        return false;
    return SettingLine::write(settingsFolder, kFileName, QByteArray::number(langNo));
}
