#include "cli/CliRunner.h"
#include "config/ProgramFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velomat-cli"));

#ifdef Q_OS_WIN
    // Output lines end in "\n" on every system.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    QFile outFile;
    QFile errFile;
    outFile.open(stdout, QIODevice::WriteOnly);
    errFile.open(stderr, QIODevice::WriteOnly);
    QTextStream out(&outFile); // UTF-8
    QTextStream err(&errFile);

    CliRunner runner(ProgramFolder::path(), outFile, out, err);
    const int code = runner.run(QCoreApplication::arguments());
    out.flush();
    err.flush();
    return code;
}
