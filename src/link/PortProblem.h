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

    // Why a serial device server cannot be reached or stopped working.
    enum class Network {
        Refused = 11,       // the host is up, but nothing serves the port
        HostNotFound,       // the name does not resolve
        NoRoute,            // no route, or no answer in time
        InUse,              // the server turned the connection away; detail: what it said
        InUseSilent,        // the same, without a word
        ComPortRefused,     // the server refused the COM port option
        NoNegotiation,      // the server did not negotiate (a raw TCP port?)
        SettingRefused,     // the server did not take a line setting; detail: which
        Closed,             // the server closed the connection
        Failed,             // the connection failed; detail: what the system said
        Malformed,          // no well-formed tcp:// or rfc2217:// port
        ServerLine,         // not a problem: the line is set in a raw TCP server
    };
    static QString network(Network reason, const QString &detail = QString(),
                           const clsIniFile *lang = nullptr);

    // The program that holds the device open, "velomat-cli, process 1234",
    // as far as the system lets the user see it; empty when none is seen.
    static QString holder(const QString &device, const QString &procFolder = QStringLiteral("/proc"));

    // The name of the group that owns the device (links followed); empty
    // when it cannot be found out.
    static QString owningGroup(const QString &device);
};
