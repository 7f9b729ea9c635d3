#include "clsWindow.h"

#include <QEventLoop>
#include <QProcess>

void clsWindow::AppWait(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (process.state() == QProcess::NotRunning)
        return; // could not be started
    loop.exec();
}
