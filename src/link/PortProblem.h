#pragma once

#include <QSerialPort>
#include <QString>

class clsIniFile;

// Why a serial device cannot be opened, in a few words for the user, found
// out by asking the operating system. The words come from the run's
// language file (section [PortProblem]); without one they are English. The
// implementation is POSIX; another system brings its own.
class PortProblem
{
public:
    // The words for a link with no device chosen.
    static QString noPort(const clsIniFile *lang = nullptr);

    // The reason for a device that QSerialPort failed to open with `error`:
    // the device is opened once more directly, and the system's answer (or,
    // when that open succeeds, what QSerialPort stumbled over) is described.
    static QString diagnose(const QString &device, QSerialPort::SerialPortError error,
                            const QString &errorString, const clsIniFile *lang = nullptr);

    // The reason for the error number an open of the device gave: not
    // present, in use, no permission (naming the group that owns the device
    // and how to join it), or the system's own text.
    static QString fromErrno(int error, const QString &device,
                             const clsIniFile *lang = nullptr);

    // Why an open device stopped working in the middle of an exchange: gone
    // (an adapter pulled out), or, while it is still there, what the system
    // said about it.
    static QString lost(const QString &device, const QString &errorString,
                        const clsIniFile *lang = nullptr);

    // The program that holds the device open, "velomat-cli, process 1234",
    // as far as the system lets the user see it; empty when none is seen.
    static QString holder(const QString &device, const QString &procFolder = QStringLiteral("/proc"));

    // The name of the group that owns the device (links followed); empty
    // when it cannot be found out.
    static QString owningGroup(const QString &device);
};
