#include "EditorMain.h"

#include "VelomatApp.h"
#include "config/ProgramFolder.h"

#include <QApplication>
#include <QIcon>

int runEditor(MessagePresenter &presenter, const QString &commandLine)
{
    return runEditor(presenter, commandLine, RunIntervals{});
}

int runEditor(MessagePresenter &presenter, const QString &commandLine, const RunIntervals &intervals)
{
    QApplication::setApplicationName(QStringLiteral("Velomat"));
    QApplication::setDesktopFileName(QStringLiteral("invalid.velomat.Velomat"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/velomat.svg")));
    // The run ends when the main window closes (or the selection is
    // cancelled), not when the selection dialog gives way to it.
    QApplication::setQuitOnLastWindowClosed(false);

    VelomatApp velomat(presenter);
    velomat.context().intervals = intervals;
    // exit() ends the event loop without asking the windows to close:
    // quit() would, and the selection dialog refuses every close it did not
    // start itself, so a Yes to "cancel?" would leave the process running
    // with no window.
    QObject::connect(
        &velomat, &VelomatApp::finished, qApp, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    velomat.start(ProgramFolder::path(), commandLine);
    return QApplication::exec();
}
