#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

QString ProgramFolder::path()
{
    const QString home = qEnvironmentVariable("VELOMAT_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(home);
    return QCoreApplication::applicationDirPath();
}

QString ProgramFolder::file(const QString &name)
{
    return file(path(), name);
}

QString ProgramFolder::file(const QString &folder, const QString &name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}
