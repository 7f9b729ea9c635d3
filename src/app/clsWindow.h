#pragma once

#include <QString>
#include <QStringList>

// Runs an external program and waits for its end while the event loop keeps
// running, so the windows stay responsive and timers and serial events are
// still delivered.
class clsWindow
{
public:
    // Starts the program (searched on the PATH when it has no folder) with
    // the arguments, given as a list and never through a shell, and returns
    // when it has ended. A program that cannot be started returns at once;
    // nothing is reported.
    void AppWait(const QString &program, const QStringList &arguments);
};
