#pragma once

#include <QString>
#include <QStringList>

#include <array>

class clsIniFile;

// What the system knows about the device behind a port.
struct PortDevice
{
    QString description;  // as the system reports it; empty when unknown
    QString manufacturer; // empty when unknown
    QString byId;         // the stable name in /dev/serial/by-id; empty when none
    QString byIdPath;     // the same with its folder
    QString serialNumber; // the adapter's, empty when unknown
    quint16 vendorId = 0; // USB ids, 0 when unknown
    quint16 productId = 0;
};

// The serial devices that COM1..COM8 stand for. They are kept in ports.cfg
// beside com.cfg, one line "COMn=device" per port, so that a user can point
// a port number at another device without recompiling; a port without a
// line keeps its default device.
class PortMap
{
public:
    static constexpr const char *kFileName = "ports.cfg";
    static constexpr int kPortCount = 8;
    // Where the system keeps stable links to USB serial devices.
    static constexpr const char *kByIdFolder = "/dev/serial/by-id";

    // The defaults, no device information.
    PortMap();

    // The device port 1..8 stands for when ports.cfg has no line for it.
    static QString defaultDevice(int port);

    // Reads ports.cfg in the folder: lines "COMn=device" (n 1..8, any line
    // end, blanks around name and device allowed); blank, unknown and empty
    // lines are skipped, and the first line of a port counts. A missing or
    // unreadable file gives the defaults; a missing file is then written with
    // them so that the user finds it, and a folder that cannot be written is
    // no failure.
    void load(const QString &folder);
    // Replaces the file with every port's line, CR LF, atomically.
    bool write(const QString &path) const;

    // The device of port 1..8, as given (a symbolic link is not resolved);
    // empty outside 1..8.
    QString device(int port) const;
    void setDevice(int port, const QString &device);

    // Looks up, for each port, the device's description and manufacturer as
    // the serial port enumeration reports them and the link in the by-id
    // folder that leads to the same device (links on both sides resolved).
    void lookUpDevices(const QString &byIdFolder = QString::fromLatin1(kByIdFolder));
    // What lookUpDevices found for port 1..8; empty outside.
    PortDevice deviceInfo(int port) const;

    // The device and what is known about it, for the user:
    // "/dev/ttyUSB0 (USB serial cable)", or for a network port what kind it
    // is: "rfc2217://gw:2217 (serial device server, RFC 2217)", in the
    // language file's words when one is given.
    QString deviceText(int port, const clsIniFile *langIni = nullptr) const;
    // What is known about the device of port 1..8, a line each, in the
    // language file's words (section [dlgComSetup]): the adapter, its
    // serial number, its USB ids and its stable name, or that the system
    // knows nothing about it. For a network port: the server and who sets
    // the line (the server for raw TCP, these settings for RFC 2217).
    QStringList identity(int port, const clsIniFile &langIni) const;

private:
    static bool inRange(int port) { return port >= 1 && port <= kPortCount; }

    std::array<QString, kPortCount> m_devices;
    std::array<PortDevice, kPortCount> m_info;
};
