#pragma once

#include "config/clsIniFile.h"
#include "program/Catalogue.h"

#include <QString>
#include <QStringList>

class QTextStream;

// The command runner of velomat-cli: parses "velomat-cli <command> [options]
// [arguments]" and carries out the command. Results go to `out`, errors to
// `err`, one line each; the result of run() is the process's exit code.
//
// The file commands (check, show) read program files exactly as File > Open
// does. The controller commands need the serial link and are refused until
// it is part of the tool.
class CliRunner
{
public:
    enum ExitCode {
        Success = 0,
        Refused = 1,
        UsageError = 2,
    };

    // The language file is LANG0.DAT in `programFolder`. When it is missing
    // or does not give every command a usable name of its own, each command
    // is named by its mnemonic instead, so that programs read the same.
    CliRunner(const QString &programFolder, QTextStream &out, QTextStream &err);

    // `arguments` as QCoreApplication::arguments(): the program name first.
    int run(const QStringList &arguments);

private:
    struct Loaded;

    int check(const QStringList &files, int axes);
    int show(const QString &file, int axes);
    // Reads one file; on refusal reports it on `err` and returns false.
    bool load(const QString &file, int axes, Loaded &loaded);
    QString helpText() const;
    int usageError(const QString &text);

    clsIniFile m_langIni;
    Catalogue m_catalogue;
    QTextStream &m_out;
    QTextStream &m_err;
};
