#pragma once

#include <QString>

#include <optional>

// A serial port reached through a serial device server: "tcp://HOST:PORT"
// (raw TCP: the bytes as they are, the line settings are the server's) or
// "rfc2217://HOST:PORT" (Telnet with the COM port option: the client sets
// the line). It stands where a device path stands: in the port map and in
// velomat-cli's --port.
struct NetworkPort
{
    enum class Protocol { Raw, Rfc2217 };

    Protocol protocol = Protocol::Raw;
    QString host; // a name or an address; an IPv6 address without brackets
    quint16 port = 0;

    // The device names a network port (it has a scheme), well formed or
    // not: such a name is never a device path.
    static bool isNetwork(const QString &device);
    // The port, or nothing when the device is no well-formed network port.
    static std::optional<NetworkPort> parse(const QString &device);
};
