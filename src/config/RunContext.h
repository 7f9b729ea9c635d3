#pragma once

#include "clsIniFile.h"

#include <QString>

// The run-wide settings fixed at start-up: the program folder, the language
// and its file, and the controller type with the step capacity it implies.
// One instance is made at start-up and handed to whoever needs it.
struct RunContext
{
    QString programFolder;
    QString settingsFolder; // typ.cfg, com.cfg, ports.cfg: see ProgramFolder
    QString commandLine;   // as given, handed on to the parameter editor
    int langNo = 0;        // 0 or 1
    clsIniFile langIni;    // bound to LANG<langNo>.DAT
    int axisNum = 1;       // 1..3, fixed when the controller type is confirmed
    int maxStep = 100;     // 100 for one axis, else 200

    // Chooses the language from the command line (without one, from the
    // choice kept in the settings folder) and binds langIni to the language
    // file in the program folder; settles the settings folder.
    void chooseLanguage(const QString &folder, const QString &commandLine);
    // Fixes axisNum and maxStep for a controller type 1..3.
    void setControllerType(int type);
    QString typCfgPath() const;
};
