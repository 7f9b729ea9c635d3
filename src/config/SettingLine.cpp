#include "SettingLine.h"

#include "AtomicFile.h"
#include "ProgramFolder.h"

#include <QFile>

QByteArray SettingLine::read(const QString &folder, const char *fileName)
{
    QFile file(ProgramFolder::file(folder, QString::fromLatin1(fileName)));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(64).split('\r').first().split('\n').first().trimmed();
}

bool SettingLine::write(const QString &folder, const char *fileName, const QByteArray &line)
{
    return AtomicFile::write(ProgramFolder::file(folder, QString::fromLatin1(fileName)), line + "\r\n");
}
