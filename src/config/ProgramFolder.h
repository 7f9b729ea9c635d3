#pragma once

#include <QString>

// The program folder and the settings folder of a run.
//
// The program folder holds the language files LANG0.DAT and LANG1.DAT: the
// folder VELOMAT_HOME names when it is set, else the executable's folder
// when the language files are beside it (a build), else <exe>/../share/velomat
// (an installed program).
//
// The settings folder holds typ.cfg, com.cfg and ports.cfg: the program
// folder when it is writable, else the user's configuration folder
// (~/.config/velomat). The installed share folder always gives way to the
// configuration folder, also for root, who could write there: it belongs to
// the package, not to a user.
class ProgramFolder
{
public:
    static QString path();
    // The settings folder for a run whose program folder is `folder`; the
    // configuration folder is created when it is chosen and missing.
    static QString settingsPath(const QString &folder);
    // The folder joined with a file name.
    static QString file(const QString &name);
    static QString file(const QString &folder, const QString &name);

    // The rules behind path() and settingsPath(), with the environment
    // variable, the executable's folder and the configuration folder given.
    static QString languageFolder(const QString &home, const QString &exeFolder);
    static QString settingsFolder(const QString &folder, const QString &exeFolder,
                                  const QString &configFolder);
    // ~/.config/velomat, or wherever the system keeps user configuration.
    static QString configFolder();
};
