#include "ProgramFolder.h"

#include "ControllerType.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Where an installed executable finds its data: <prefix>/share/velomat
// beside <prefix>/bin.
QString installedDataFolder(const QString &exeFolder)
{
    return QDir::cleanPath(exeFolder + QStringLiteral("/../share/velomat"));
}

} // namespace

QString ProgramFolder::path()
{
    return languageFolder(qEnvironmentVariable("VELOMAT_HOME"),
                          QCoreApplication::applicationDirPath());
}

QString ProgramFolder::settingsPath(const QString &folder)
{
    return settingsFolder(folder, QCoreApplication::applicationDirPath(), configFolder());
}

QString ProgramFolder::languageFolder(const QString &home, const QString &exeFolder)
{
    if (!home.isEmpty())
        return QDir::cleanPath(home);
    if (QFileInfo::exists(file(exeFolder, ControllerType::languageFileName(0))))
        return exeFolder;
    const QString installed = installedDataFolder(exeFolder);
    if (QFileInfo(installed).isDir())
        return installed;
    // Neither: the executable's folder, so that the missing-file message
    // names the folder a build would have.
    return exeFolder;
}

QString ProgramFolder::settingsFolder(const QString &folder, const QString &exeFolder,
                                      const QString &configFolder)
{
    const QFileInfo info(folder);
    if (QDir::cleanPath(folder) != installedDataFolder(exeFolder) && info.isDir()
        && info.isWritable())
        return folder;
    // A failed mkpath is left to the writes, which report it as they would
    // for any unwritable settings file.
    QDir().mkpath(configFolder);
    return configFolder;
}

QString ProgramFolder::configFolder()
{
    // The generic location and a fixed name rather than AppConfigLocation:
    // the editor and velomat-cli run under different application names but
    // share one set of settings.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/velomat");
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
