#include "NetworkTransport.h"

#include "PortProblem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

using Telnet = TelnetComPort;

QList<QTcpSocket *> NetworkTransport::s_lingering;

namespace {

// What the server said before it hung up, as one printable line.
QString serverWords(const QByteArray &bytes)
{
    QString text;
    for (char c : bytes)
        text += (c >= 0x20 && c < 0x7f) ? QChar(QLatin1Char(c)) : QChar(u' ');
    return text.simplified().left(120);
}

} // namespace

NetworkTransport::NetworkTransport(QObject *parent) : LinkTransport(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &NetworkTransport::onTimer);
}

NetworkTransport::~NetworkTransport()
{
    close();
}

std::array<quint32, 4> NetworkTransport::comPortValues(const SerialLine &line)
{
    quint32 parity = Telnet::ParityNone;
    switch (line.parity) {
    case QSerialPort::OddParity: parity = Telnet::ParityOdd; break;
    case QSerialPort::EvenParity: parity = Telnet::ParityEven; break;
    case QSerialPort::MarkParity: parity = 4; break;
    case QSerialPort::SpaceParity: parity = 5; break;
    default: break;
    }
    const quint32 stop = line.stopBits == QSerialPort::TwoStop ? Telnet::StopTwo
        : line.stopBits == QSerialPort::OneAndHalfStop     ? 3
                                                            : Telnet::StopOne;
    return {quint32(line.baud), quint32(line.dataBits), parity, stop};
}

bool NetworkTransport::open(const SerialLine &line)
{
    close();
    const std::optional<NetworkPort> port = NetworkPort::parse(line.device);
    if (!port) {
        m_error = PortProblem::network(PortProblem::Network::Malformed, QString(), m_lang);
        return false;
    }
    m_port = *port;
    m_line = line;
    m_telnet = TelnetComPort();
    m_queue.clear();
    m_early.clear();
    m_error.clear();
    m_readySince.invalidate();
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &NetworkTransport::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &NetworkTransport::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &NetworkTransport::onError);
    m_state = State::Connecting;
    m_timer.start(m_openLimit);
    connectWhenFree();
    return true;
}

void NetworkTransport::connectWhenFree()
{
    if (m_state != State::Connecting || !m_socket
        || m_socket->state() != QAbstractSocket::UnconnectedState)
        return;
    // A server serves one client at a time: the connection of the chain
    // before must be over first, or the server may still count it and
    // turn this one away, or take it while it still hands the last
    // command of the old one to the line.
    for (QTcpSocket *old : std::as_const(s_lingering)) {
        if (old->state() == QAbstractSocket::ConnectedState && old->peerName() == m_port.host
            && old->peerPort() == m_port.port) {
            connect(old, &QAbstractSocket::stateChanged, this, &NetworkTransport::connectWhenFree,
                    Qt::UniqueConnection);
            connect(old, &QObject::destroyed, this, &NetworkTransport::connectWhenFree, Qt::UniqueConnection);
            return;
        }
    }
    m_socket->connectToHost(m_port.host, m_port.port);
}

void NetworkTransport::close()
{
    m_timer.stop();
    m_state = State::Closed;
    m_queue.clear();
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    if (!socket)
        return;
    socket->disconnect(this);
    // The time on the line of what was written and not answered since.
    using namespace std::chrono;
    const milliseconds onLine = m_unansweredBytes > 0
        ? milliseconds(m_unansweredBytes * 10 * 1000 / qMax(m_line.baud, 1)) + kLineMargin
        : milliseconds(0);
    m_unansweredBytes = 0;
    linger(socket, onLine);
    // Inside one of its signals the socket is not yet given up for
    // deletion: a handler may run a nested event loop (a message box), and
    // a socket deleted there would be used again by the signal it is still
    // emitting.
    if (m_handling > 0)
        m_closed << Closed{socket, onLine};
    else
        letGo(socket, onLine);
}

void NetworkTransport::linger(QTcpSocket *socket, std::chrono::milliseconds onLine)
{
    // A socket that has just reported an error may still say it is
    // connected while nothing is left of it.
    if (socket->state() != QAbstractSocket::ConnectedState || !socket->isValid()) {
        socket->abort();
        return;
    }
    // A lingering close: what was written goes out, then only the sending
    // half is shut, and whatever the server still sends (a line state
    // notice ...) is read until it closes its side too. Closed at once, the
    // socket would answer such data with a reset, and a server may drop
    // the last command on a reset.
    if (socket->bytesToWrite() > 0)
        socket->waitForBytesWritten(int(m_openLimit.count()));
    socket->readAll();
    // Its own from now on: it may outlive this transport.
    socket->setParent(nullptr);
    s_lingering << socket;
    connect(socket, &QObject::destroyed, QCoreApplication::instance(),
            [socket] { s_lingering.removeOne(socket); });
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    // A command nothing answered (a run or stop) may still be on its way
    // to the controller: a server that ends the port when the client goes
    // may flush what it has not put on the line yet. The connection stays
    // until the command has had its time on the line.
    QTimer::singleShot(onLine, socket, [socket] {
        if (socket->state() == QAbstractSocket::ConnectedState)
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    });
}

void NetworkTransport::letGo(QTcpSocket *socket, std::chrono::milliseconds onLine)
{
    if (socket->state() != QAbstractSocket::ConnectedState || !socket->isValid()) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
    // A server that keeps its side open is not waited for long.
    QTimer::singleShot(onLine + m_openLimit / 2, socket, &QObject::deleteLater);
}

NetworkTransport::Handling::Handling(NetworkTransport *transport) : m_transport(transport)
{
    ++m_transport->m_handling;
}

NetworkTransport::Handling::~Handling()
{
    if (--m_transport->m_handling > 0)
        return;
    for (const Closed &closed : std::exchange(m_transport->m_closed, {}))
        m_transport->letGo(closed.socket, closed.onLine);
}

void NetworkTransport::awaitClosed(std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (!s_lingering.isEmpty() && !clock.hasExpired(limit.count())) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void NetworkTransport::discardInput()
{
    // Telnet commands in it are still handled; only the data goes.
    if (m_socket && m_state == State::Ready && m_socket->bytesAvailable() > 0)
        take(m_socket->readAll());
}

bool NetworkTransport::write(QByteArrayView bytes)
{
    if (m_state == State::Closed) {
        m_error = PortProblem::network(PortProblem::Network::Closed, QString(), m_lang);
        return false;
    }
    if (m_state != State::Ready) {
        m_queue += bytes;
        return true;
    }
    m_unansweredBytes += bytes.size();
    return send(m_port.protocol == NetworkPort::Protocol::Rfc2217 ? Telnet::escape(bytes)
                                                                  : bytes.toByteArray());
}

bool NetworkTransport::send(QByteArrayView bytes)
{
    if (m_socket->write(bytes.data(), bytes.size()) != bytes.size()) {
        m_error = PortProblem::network(PortProblem::Network::Failed, m_socket->errorString(), m_lang);
        return false;
    }
    return true;
}

void NetworkTransport::drain(std::chrono::milliseconds limit)
{
    if (m_socket && m_state == State::Ready && m_socket->bytesToWrite() > 0)
        m_socket->waitForBytesWritten(int(limit.count()));
}

void NetworkTransport::onConnected()
{
    // Without it, Nagle's algorithm and the peer's delayed acknowledgement
    // hold back every short command for up to 40 ms.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    acknowledgeAtOnce();
    if (m_port.protocol == NetworkPort::Protocol::Raw) {
        if (m_settle.count() <= 0) {
            becomeReady();
            return;
        }
        m_state = State::Settling;
        m_timer.start(m_settle);
        return;
    }
    m_state = State::Negotiating;
    send(Telnet::opening());
}

void NetworkTransport::onReadyRead()
{
    const Handling handling(this);
    // As with a serial port: what arrives while a handler runs is read
    // before returning. A handler may close this transport, or open it
    // anew: the loop reads the socket of the moment.
    acknowledgeAtOnce();
    while (m_socket && m_socket->bytesAvailable() > 0) {
        const QByteArray data = take(m_socket->readAll());
        if (data.isEmpty())
            continue;
        if (m_state != State::Ready) {
            m_early += data;
            continue;
        }
        m_unansweredBytes = 0;
        emit received(data);
    }
}

bool NetworkTransport::turnedAway() const
{
    // The server spoke before anything was sent to it, and hangs up soon
    // after: its words were why. Replies are never taken for them.
    return m_port.protocol == NetworkPort::Protocol::Raw && !m_early.isEmpty() && m_readySince.isValid()
        && !m_readySince.hasExpired(kTurnAwayMs);
}

void NetworkTransport::acknowledgeAtOnce()
{
#ifdef TCP_QUICKACK
    // A server that keeps Nagle's algorithm on holds its second small
    // piece (the rest of a reply read in two, an answer after the
    // negotiation) until the first is acknowledged, and a delayed
    // acknowledgement takes some 40 ms. The system falls back to delaying
    // now and then: set again at every read.
    if (m_socket && m_socket->socketDescriptor() >= 0) {
        const int on = 1;
        ::setsockopt(int(m_socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }
#endif
}

QByteArray NetworkTransport::take(const QByteArray &bytes)
{
    if (m_port.protocol == NetworkPort::Protocol::Raw)
        return bytes;
    QList<Telnet::Command> commands;
    const QByteArray data = m_telnet.decode(bytes, &commands);
    QTcpSocket *socket = m_socket;
    for (const Telnet::Command &c : commands) {
        if (m_socket != socket)
            break; // failed and closed on an earlier command
        handle(c);
    }
    return data;
}

void NetworkTransport::handle(const TelnetComPort::Command &c)
{
    if (Telnet::refusesComPort(c)) {
        if (m_state != State::Ready)
            fail(PortProblem::network(PortProblem::Network::ComPortRefused, QString(), m_lang));
        return;
    }
    const QByteArray reply = Telnet::answer(c);
    if (!reply.isEmpty())
        send(reply);
    if (m_state == State::Negotiating && c.verb == Telnet::DO && c.option == Telnet::ComPort) {
        const std::array<quint32, 4> values = comPortValues(m_line);
        send(Telnet::setBaudRate(values[0]) + Telnet::setDataSize(quint8(values[1]))
             + Telnet::setParity(quint8(values[2])) + Telnet::setStopSize(quint8(values[3])));
        m_unanswered = 0b1111;
        m_state = State::Setting;
        return;
    }
    if (m_state != State::Setting || c.verb != Telnet::SB || c.option != Telnet::ComPort
        || c.payload.isEmpty())
        return;
    const int which = quint8(c.payload[0]) - Telnet::ServerOffset - Telnet::SetBaudRate;
    if (which < 0 || which > 3)
        return; // a notification, not an answer
    quint32 value = 0;
    for (char b : c.payload.mid(1))
        value = (value << 8) | quint8(b);
    const quint32 asked = comPortValues(m_line)[which];
    if (value != asked) {
        static constexpr const char *kNames[] = {"baud rate", "data bits", "parity", "stop bits"};
        fail(PortProblem::network(PortProblem::Network::SettingRefused,
                                  QStringLiteral("%1 %2, it answered %3")
                                      .arg(QLatin1String(kNames[which])).arg(asked).arg(value),
                                  m_lang));
        return;
    }
    m_unanswered &= ~(1 << which);
    if (m_unanswered == 0)
        becomeReady();
}

void NetworkTransport::becomeReady()
{
    m_timer.stop();
    m_state = State::Ready;
    // What a raw server said unasked while the connection settled is kept
    // (it is no reply) until it is clear whether the server hangs up.
    if (m_port.protocol != NetworkPort::Protocol::Raw)
        m_early.clear();
    m_readySince.start();
    const QByteArray queued = std::exchange(m_queue, {});
    emit ready();
    if (!queued.isEmpty() && m_state == State::Ready && !write(queued))
        fail(m_error);
}

void NetworkTransport::onTimer()
{
    switch (m_state) {
    case State::Settling:
        becomeReady();
        break;
    case State::Connecting:
        fail(PortProblem::network(PortProblem::Network::NoRoute, QString(), m_lang));
        break;
    case State::Negotiating:
    case State::Setting:
        fail(PortProblem::network(PortProblem::Network::NoNegotiation, QString(), m_lang));
        break;
    default:
        break;
    }
}

void NetworkTransport::onError(QAbstractSocket::SocketError error)
{
    const Handling handling(this);
    using Network = PortProblem::Network;
    if (!m_socket)
        return;
    if (m_state == State::Ready && error == QAbstractSocket::RemoteHostClosedError && turnedAway()) {
        // A raw server whose port is taken accepts, says so and hangs up;
        // the words may come before and the end after the settling.
        const QString said = serverWords(m_early);
        if (!said.isEmpty()) {
            fail(PortProblem::network(Network::InUse, said, m_lang));
            return;
        }
    }
    if (m_state == State::Ready) {
        const QString reason = error == QAbstractSocket::RemoteHostClosedError
            ? PortProblem::network(Network::Closed, QString(), m_lang)
            : PortProblem::network(Network::Failed, m_socket->errorString(), m_lang);
        close();
        m_error = reason;
        emit lost(reason);
        return;
    }
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        fail(PortProblem::network(Network::Refused, QString(), m_lang));
        break;
    case QAbstractSocket::HostNotFoundError:
        fail(PortProblem::network(Network::HostNotFound, QString(), m_lang));
        break;
    case QAbstractSocket::NetworkError:
    case QAbstractSocket::SocketTimeoutError:
        fail(PortProblem::network(Network::NoRoute, QString(), m_lang));
        break;
    case QAbstractSocket::RemoteHostClosedError: {
        m_early += take(m_socket->readAll());
        const QString said = serverWords(m_early);
        fail(said.isEmpty() ? PortProblem::network(Network::InUseSilent, QString(), m_lang)
                            : PortProblem::network(Network::InUse, said, m_lang));
        break;
    }
    default:
        fail(PortProblem::network(Network::Failed, m_socket->errorString(), m_lang));
        break;
    }
}

void NetworkTransport::fail(const QString &reason)
{
    close();
    m_error = reason;
    emit openFailed(reason);
}

NetworkProbe::NetworkProbe(const clsIniFile *lang, QObject *parent) : QObject(parent)
{
    m_transport.setLanguage(lang);
    // A server that turns clients away does it at once; a probe can
    // afford to watch a little longer than an operation does.
    m_transport.setTiming(std::chrono::milliseconds(1700), std::chrono::milliseconds(300));
    connect(&m_transport, &LinkTransport::ready, this, [this] {
        m_transport.close();
        emit finished(true, QString());
    });
    connect(&m_transport, &LinkTransport::openFailed, this,
            [this](const QString &reason) { emit finished(false, reason); });
}

void NetworkProbe::start(const SerialLine &line)
{
    if (!m_transport.open(line))
        emit finished(false, m_transport.error());
}
