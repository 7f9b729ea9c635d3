#pragma once

#include <QString>

// The controller type of a run (1, 2 or 3 axes), the file typ.cfg that
// remembers the last choice, and the language chosen by the command line.
class ControllerType
{
public:
    static constexpr const char *kFileName = "typ.cfg";

    // The type stored in the file: 1..3; 1 when the file is missing, empty,
    // unreadable or holds anything else.
    static int readControllerType(const QString &path);
    // Replaces the file with the type and CR LF. False when it could not be
    // written; the old file is then unchanged.
    static bool writeControllerType(const QString &path, int type);

    // Step capacity of a program: 100 for the one-axis controller, else 200.
    static int maxStepFor(int axisNum) { return axisNum == 1 ? 100 : 200; }

    // The command line read as a number (blanks before it skipped, reading
    // stops where a number cannot continue, no number gives 0).
    static double commandLineNumber(const QString &commandLine);
    // Language number: 1 when the command line rounds to 1, else 0.
    static int langNoFromCommandLine(const QString &commandLine);
    // The language file's name for a language number: LANG0.DAT or LANG1.DAT.
    static QString languageFileName(int langNo);
};
