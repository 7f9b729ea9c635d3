#pragma once

#include <QString>

// The program folder: where the language files, typ.cfg and com.cfg live.
// It is the executable's folder unless the environment variable
// VELOMAT_HOME names another one.
class ProgramFolder
{
public:
    static QString path();
    // The folder joined with a file name.
    static QString file(const QString &name);
    static QString file(const QString &folder, const QString &name);
};
