#include "app/QtMessagePresenter.h"
#include "app/VelomatApp.h"
#include "config/ProgramFolder.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velomat"));
    QApplication::setDesktopFileName(QStringLiteral("velomat"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/velomat.svg")));
    // The run ends when the main window closes (or the selection is
    // cancelled), not when the selection dialog gives way to it.
    QApplication::setQuitOnLastWindowClosed(false);

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    QtMessagePresenter presenter;
    VelomatApp velomat(presenter);
    QObject::connect(&velomat, &VelomatApp::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    velomat.start(ProgramFolder::path(), args.join(u' '));
    return app.exec();
}
