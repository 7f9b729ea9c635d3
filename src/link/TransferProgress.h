#pragma once

#include <QElapsedTimer>
#include <QString>

class clsIniFile;

// What the user reads beside a transfer's progress bar: "step 37 of 120",
// the time since the transfer began and an estimate of the time left (the
// mean time per step so far times the steps still to go), in the run's
// language.
class TransferProgress
{
public:
    // The transfer begins now.
    void start() { m_clock.start(); }
    bool started() const { return m_clock.isValid(); }

    // The text after `done` of `total` steps.
    QString text(const clsIniFile &langIni, int done, int total) const;
    // The same for a given elapsed time, for tests and for the CLI.
    static QString text(const clsIniFile &langIni, int done, int total, qint64 elapsedMs);
    // "m:ss" (or "h:mm:ss" from an hour on).
    static QString duration(qint64 ms);

private:
    QElapsedTimer m_clock;
};
