#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The Telnet layer of a serial device server that speaks the COM port
// option (RFC 2217): what the link sends is escaped (every 0xFF doubled),
// what comes back is split into the line's data and the server's Telnet
// commands, and the client's side of the negotiation is composed here. A
// command or subnegotiation may arrive split across reads: the decoder
// keeps what it has seen of it until the rest comes.
class TelnetComPort
{
public:
    // Telnet bytes and the options the link uses.
    enum : quint8 {
        SE = 240, NOP = 241, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254, IAC = 255,
        Binary = 0, ComPort = 44,
    };
    // COM-PORT-OPTION commands from the client; the server answers each
    // with the same number plus 100.
    enum : quint8 { SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, ServerOffset = 100 };
    // The values of SET-PARITY and SET-STOPSIZE.
    enum : quint8 { ParityNone = 1, ParityOdd = 2, ParityEven = 3, StopOne = 1, StopTwo = 2 };

    // A Telnet command the server sent: an option request (WILL, WONT, DO,
    // DONT and its option), or a subnegotiation (SB, its option and what
    // stood between it and SE, 0xFF no longer doubled).
    struct Command
    {
        quint8 verb = 0;
        quint8 option = 0;
        QByteArray payload;
        friend bool operator==(const Command &a, const Command &b)
        {
            return a.verb == b.verb && a.option == b.option && a.payload == b.payload;
        }
    };

    // Data as the server must receive it.
    static QByteArray escape(QByteArrayView data);
    // The client's opening: it will speak the COM port option, and binary
    // in both directions.
    static QByteArray opening();
    // A COM-PORT-OPTION subnegotiation with its value (escaped).
    static QByteArray setting(quint8 command, QByteArrayView value);
    static QByteArray setBaudRate(quint32 baud);
    static QByteArray setDataSize(quint8 bits) { return setting(SetDataSize, QByteArray(1, char(bits))); }
    static QByteArray setParity(quint8 parity) { return setting(SetParity, QByteArray(1, char(parity))); }
    static QByteArray setStopSize(quint8 stop) { return setting(SetStopSize, QByteArray(1, char(stop))); }

    // The line's data in `bytes`; the commands in them are appended to
    // `commands`.
    QByteArray decode(QByteArrayView bytes, QList<Command> *commands);

    // What the client answers to an option request: binary and the COM
    // port option accepted, every other option refused; nothing for a
    // request that confirms what the client asked for.
    static QByteArray answer(const Command &request);
    // The server refuses the COM port option (WONT or DONT it).
    static bool refusesComPort(const Command &c)
    {
        return c.option == ComPort && (c.verb == WONT || c.verb == DONT);
    }

private:
    enum class State { Data, Iac, Option, Sub, SubIac };
    State m_state = State::Data;
    Command m_pending;
};
