#pragma once

#include <QString>

// What each program answers to --version: its name and the version of the
// build ("velomat-cli 0.1.0").
inline QString versionText(const char *program)
{
    return QLatin1String(program) + QLatin1Char(' ') + QLatin1String(VELOMAT_VERSION);
}
