#pragma once

#include "LinkTransport.h"
#include "NetworkPort.h"
#include "TelnetComPort.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QTimer>

#include <array>

class QTcpSocket;

// A serial port behind a serial device server: a TCP connection, raw or
// with the COM port option (RFC 2217). Opening runs in the background:
// the connection is made, then
//  - raw: the server is given a moment to turn the client away (a server
//    whose port is taken accepts and closes at once, often with a word);
//  - RFC 2217: the COM port option and binary transmission are negotiated,
//    the line settings sent and the server's answers checked.
// Only then is the transport ready. A new connection is made at every
// open, so that other workstations reach the server between operations.
class NetworkTransport : public LinkTransport
{
    Q_OBJECT

public:
    explicit NetworkTransport(QObject *parent = nullptr);
    ~NetworkTransport() override;

    // How long an open may take in all, and how long a raw connection is
    // watched for the server turning it away before it counts as ready (0:
    // ready at once). A server that spoke unasked meanwhile and hangs up
    // within a moment after still counts as turning it away.
    void setTiming(std::chrono::milliseconds openLimit, std::chrono::milliseconds settle)
    {
        m_openLimit = openLimit;
        m_settle = settle;
    }

    bool open(const SerialLine &line) override;
    bool isOpen() const override { return m_state != State::Closed; }
    bool isReady() const override { return m_state == State::Ready; }
    void close() override;
    void discardInput() override;
    bool write(QByteArrayView bytes) override;
    void drain(std::chrono::milliseconds limit) override;

    // Waits, events running, until the connections closed before have
    // ended (at most `limit`): a program that ends right after its last
    // command lets the server take it in full first.
    static void awaitClosed(std::chrono::milliseconds limit);

    // What the server was asked to set the line to, as RFC 2217 numbers:
    // baud rate, data size, parity, stop size.
    static std::array<quint32, 4> comPortValues(const SerialLine &line);

private:
    enum class State { Closed, Connecting, Settling, Negotiating, Setting, Ready };

    // Marks a socket's signal being handled: a socket closed meanwhile is
    // let go only once the handling is over.
    class Handling
    {
    public:
        explicit Handling(NetworkTransport *transport);
        ~Handling();
        Handling(const Handling &) = delete;
        Handling &operator=(const Handling &) = delete;

    private:
        NetworkTransport *m_transport;
    };

    // A closed connection: shut and read to its end (at once), then given
    // up for deletion (once no signal of it is being handled).
    void linger(QTcpSocket *socket, std::chrono::milliseconds onLine);
    void letGo(QTcpSocket *socket, std::chrono::milliseconds onLine);
    bool turnedAway() const;
    void acknowledgeAtOnce();
    void connectWhenFree();
    void onConnected();
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onTimer();
    // What came in: Telnet commands handled, the line's data returned.
    QByteArray take(const QByteArray &bytes);
    void handle(const TelnetComPort::Command &command);
    void becomeReady();
    void fail(const QString &reason);
    bool send(QByteArrayView bytes);

    // Connections closing after their transport let go.
    static QList<QTcpSocket *> s_lingering;

    State m_state = State::Closed;
    NetworkPort m_port;
    SerialLine m_line;
    QTcpSocket *m_socket = nullptr;
    int m_handling = 0; // socket signals being handled, nested
    struct Closed
    {
        QTcpSocket *socket;
        std::chrono::milliseconds onLine;
    };
    QList<Closed> m_closed; // closed while one was
    qint64 m_unansweredBytes = 0; // written since the server last sent data
    static constexpr std::chrono::milliseconds kLineMargin{50};
    TelnetComPort m_telnet;
    QByteArray m_queue;   // written before the transport was ready
    QByteArray m_early;   // what the server said unasked, before it was ready
    QElapsedTimer m_readySince;
    static constexpr qint64 kTurnAwayMs = 200;
    int m_unanswered = 0; // line settings the server has not answered yet
    QTimer m_timer;       // the open's limit, then the raw settle
    std::chrono::milliseconds m_openLimit{2000};
    std::chrono::milliseconds m_settle{50};
};

// One look at a network port in the background, for the settings: the
// connection opened as the link opens it (at most 2 s), then closed.
class NetworkProbe : public QObject
{
    Q_OBJECT

public:
    explicit NetworkProbe(const clsIniFile *lang, QObject *parent = nullptr);
    void start(const SerialLine &line);

signals:
    // Ready (`ok`) or why not.
    void finished(bool ok, const QString &reason);

private:
    NetworkTransport m_transport;
};
