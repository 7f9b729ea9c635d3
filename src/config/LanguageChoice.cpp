#include "LanguageChoice.h"

#include "AtomicFile.h"
#include "ProgramFolder.h"

#include <QFile>

QString LanguageChoice::load(const QString &settingsFolder)
{
    QFile file(ProgramFolder::file(settingsFolder, QString::fromLatin1(kFileName)));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray value = file.read(16).split('\r').first().split('\n').first().trimmed();
    return value == "0" || value == "1" ? QString::fromLatin1(value) : QString();
}

bool LanguageChoice::save(const QString &settingsFolder, int langNo)
{
    if (langNo != 0 && langNo != 1)
        return false;
    return AtomicFile::write(ProgramFolder::file(settingsFolder, QString::fromLatin1(kFileName)),
                             QByteArray::number(langNo) + "\r\n");
}
