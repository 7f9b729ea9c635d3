#include "cli/CliRunner.h"
#include "link/NetworkTransport.h"
#include "config/ProgramFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// Scripts read stderr line by line: the tool's own reports only. Qt's
// warnings about a device that went away are the same failure again.
void quietQtWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quietQtWarnings);
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
    // A device server takes the last command (a run or stop) in full
    // before the connection is gone.
    NetworkTransport::awaitClosed(std::chrono::seconds(2));
    return code;
}
