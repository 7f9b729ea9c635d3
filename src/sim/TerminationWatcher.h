#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal, so that velomat-sim ends
// through its event loop and cleans up behind itself. POSIX (Linux
// signalfd) only; a Windows build replaces this file.
class TerminationWatcher : public QObject
{
    Q_OBJECT

public:
    // Keeps SIGINT and SIGTERM from ending the process directly; call it
    // first in main, before any thread starts, so that every thread
    // inherits the blocked signals.
    static void blockTerminationSignals();

    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

    bool isValid() const { return m_fd >= 0; }

signals:
    void terminationRequested();

private:
    void readSignal();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
