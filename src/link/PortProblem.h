#pragma once

#include <QSerialPort>
#include <QString>

// Why a serial device cannot be opened, in a few words for the user, found
// out by asking the operating system. The implementation is POSIX; another
// system brings its own.
class PortProblem
{
public:
    // The reason for a device that QSerialPort failed to open with `error`:
    // the device is opened once more directly, and the system's answer (or,
    // when that open succeeds, what QSerialPort stumbled over) is described.
    static QString diagnose(const QString &device, QSerialPort::SerialPortError error,
                            const QString &errorString);

    // The reason for the error number an open of the device gave: not
    // present, in use, no permission (naming the group that owns the device
    // and how to join it), or the system's own text.
    static QString fromErrno(int error, const QString &device);

    // The name of the group that owns the device (links followed); empty
    // when it cannot be found out.
    static QString owningGroup(const QString &device);
};
