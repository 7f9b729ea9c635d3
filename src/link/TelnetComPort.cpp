#include "TelnetComPort.h"

#include <initializer_list>

namespace {

QByteArray bytesOf(std::initializer_list<quint8> list)
{
    QByteArray out;
    for (quint8 b : list)
        out.append(char(b));
    return out;
}

} // namespace

QByteArray TelnetComPort::escape(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size());
    for (char c : data) {
        out.append(c);
        if (quint8(c) == IAC)
            out.append(c);
    }
    return out;
}

QByteArray TelnetComPort::opening()
{
    return bytesOf({IAC, WILL, ComPort, IAC, WILL, Binary, IAC, DO, Binary});
}

QByteArray TelnetComPort::setting(quint8 command, QByteArrayView value)
{
    QByteArray out = bytesOf({IAC, SB, ComPort, command});
    out += escape(value);
    out += char(IAC);
    out += char(SE);
    return out;
}

QByteArray TelnetComPort::setBaudRate(quint32 baud)
{
    // Network order, four bytes.
    return setting(SetBaudRate, bytesOf({quint8(baud >> 24), quint8(baud >> 16), quint8(baud >> 8), quint8(baud)}));
}

QByteArray TelnetComPort::decode(QByteArrayView bytes, QList<Command> *commands)
{
    QByteArray data;
    for (char ch : bytes) {
        const quint8 b = quint8(ch);
        switch (m_state) {
        case State::Data:
            if (b == IAC)
                m_state = State::Iac;
            else
                data.append(ch);
            break;
        case State::Iac:
            if (b == IAC) { // a doubled 0xFF is one data byte
                data.append(ch);
                m_state = State::Data;
            } else if (b == WILL || b == WONT || b == DO || b == DONT || b == SB) {
                m_pending = Command{b, 0, {}};
                m_state = State::Option;
            } else {
                m_state = State::Data; // NOP, GA, AYT ...: nothing for the line
            }
            break;
        case State::Option:
            m_pending.option = b;
            if (m_pending.verb == SB) {
                m_state = State::Sub;
            } else {
                commands->append(m_pending);
                m_state = State::Data;
            }
            break;
        case State::Sub:
            if (b == IAC)
                m_state = State::SubIac;
            else
                m_pending.payload.append(ch);
            break;
        case State::SubIac:
            if (b == SE) {
                commands->append(m_pending);
                m_state = State::Data;
            } else {
                // A doubled 0xFF inside; anything else is taken as it is.
                m_pending.payload.append(ch);
                m_state = State::Sub;
            }
            break;
        }
    }
    return data;
}

QByteArray TelnetComPort::answer(const Command &request)
{
    const bool wanted = request.option == Binary || request.option == ComPort;
    quint8 reply = 0;
    switch (request.verb) {
    case DO:
        // The client offered binary and the COM port option itself.
        reply = wanted ? 0 : WONT;
        break;
    case WILL:
        // Binary from the server is what the client asked for; a server
        // that offers the COM port option (a client's option) is told no.
        reply = request.option == Binary ? 0 : DONT;
        break;
    default:
        return {};
    }
    if (!reply)
        return {};
    return bytesOf({IAC, reply, request.option});
}
