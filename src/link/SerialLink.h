#pragma once

#include "SerialLine.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

class LinkTransport;
class clsIniFile;

// The serial link to the controller: sends one command text at a time,
// collects what comes back, cuts it into reply lines at the controller's
// line end (CR, LF or CR LF, found out when armed), and hands each line on.
// It owns the transport (a local serial port, or a connection to a serial
// device server, whichever the line's device names) and the two single-shot
// timers that pace the link: the reply timer (how long an answer may take)
// and the line-end timer (how long the detection waits to see the whole end
// of the first reply).
//
// Every command starts from empty buffers: a send discards whatever is still
// waiting from earlier traffic. The port stays open between the commands of
// a chain and is closed when an exchange ends (endExchange of the command
// set), so it is free between operations and a late answer is not received.
// A network port is connected anew for every chain, so that other
// workstations reach the server between operations; the reply timer starts
// only once the connection is ready, so it measures the controller alone.
class SerialLink : public QObject
{
    Q_OBJECT

public:
    // The line-end detection, in the order it goes through.
    enum CrLfState {
        NeverArmed = 0, // lines are cut at eolKind (CR until a detection ran)
        Decided = 3,    // lines are cut at the decided eolKind
        Armed = 4,      // the next CR or LF starts the line-end timer
        Seen = 5,       // first CR or LF seen: text is only collected
        TimerDone = 6,  // the line-end timer fired: decide, then cut
    };
    enum EolKind { Cr = 0, Lf = 1, CrLf = 2 };

    // How long the link waits. Values of the run: tests and the CLI's
    // tests shorten them.
    struct Intervals
    {
        // An answer to an ordinary command.
        std::chrono::milliseconds reply{3000};
        // The line-end detection's look at the end of the first reply.
        std::chrono::milliseconds crLf{100};
        // The answer to PGWRT:, which the controller gives only after it
        // has written its non-volatile program memory.
        std::chrono::milliseconds programWrite{10000};
        // A network port: how long connecting and negotiating may take, and
        // how long a raw connection is watched for the server turning it
        // away (its port taken by another client) before the first command
        // goes out. Short: every chain connects anew. A server answers at
        // once on the loopback or a plant network.
        std::chrono::milliseconds connect{2000};
        std::chrono::milliseconds settle{10};
    };

    // Where complete lines go: the reply handling, or the upload handling
    // while an upload is open.
    enum class Route { Replies, Upload };

    // `line` is read at every open: the settings put the port in place.
    explicit SerialLink(const SerialLine &line, QObject *parent = nullptr);
    ~SerialLink() override;

    Intervals intervals;

    // Sends the text as it is (callers add the line end), from empty
    // buffers. False when the port cannot be opened or the write is refused;
    // the reason is in lastError(). Nothing is signalled then: for a
    // command that awaits an answer, the reply timer tells. A network port
    // still connecting keeps the text until it is ready; when it cannot be
    // reached, openFailed tells later.
    bool sendText(const QByteArray &text);
    // Appends received bytes and hands on every complete line.
    void receiveText(const QByteArray &chunk);
    // Closes the port when it is open.
    void closePort();
    bool isOpen() const;
    // Waits until what was written has left for the device (a command that
    // awaits no answer, before the program ends).
    void drain();

    void stopTimers();
    void setReplyTimer(bool on);
    void setReplyTimer(std::chrono::milliseconds interval);
    void setCrLfTimer(bool on);
    // Also while a network port is still connecting: the timer starts then.
    bool replyTimerActive() const { return m_timer.isActive() || m_replyPending.count() > 0; }

    // The line-end detection, armed by each operation as it opens.
    int crLfState() const { return m_crLfState; }
    int eolKind() const { return m_eolKind; }
    QByteArray rxBuffer() const { return m_rxBuffer; }
    Route route() const { return m_route; }
    // How often an open port went away: a caller tells from it whether a
    // failed send has already been reported.
    int portLosses() const { return m_portLosses; }

    // Nested dispatching: while a received line is being handled, a request
    // to close the port waits until the handling is over, so that a reply
    // that sends the next command of a chain keeps the port open.
    void closeAfterDispatch();
    // Closes now what closeAfterDispatch left for later, before anything
    // runs a nested event loop (a message box) that could receive.
    void closeIfPending()
    {
        if (m_closePending)
            closePort();
    }

    QString lastError() const { return m_lastError; }
    // The port and line the next send uses.
    const SerialLine &line() const { return m_line; }
    // The run's language file, for why a port cannot be opened; English
    // words without one.
    void setLanguage(const clsIniFile *lang) { m_lang = lang; }
    const clsIniFile *language() const { return m_lang; }

signals:
    // A complete line while the upload dialog is not open.
    void lineReceived(const QByteArray &line);
    // A complete line while the upload dialog is open.
    void uploadLineReceived(const QByteArray &line);
    // The reply timer ran out.
    void replyTimedOut();
    // Sent (received = false) or received text, for the download log.
    void traffic(const QByteArray &text, bool received);
    // The port went away while open (an adapter pulled out, a server gone).
    void portLost(const QString &reason);
    // A network port could not be reached after sendText took the text.
    void openFailed(const QString &reason);

private:
    // The operation that owns the exchanges arms the detection and sets
    // the route; nothing else may.
    friend class LinkSession;
    // Tests, benchmarks and fuzz targets drive a bare link through it.
    friend struct SerialLinkProbe;
    void armLineEndDetection() { m_crLfState = Armed; }
    void setRoute(Route route) { m_route = route; }

    bool openPort();
    void onReady();
    void onLost(const QString &reason);
    void onOpenFailed(const QString &reason);
    void Timer_Timer();
    void TimerCrLf_Timer();

    const SerialLine &m_line;
    std::unique_ptr<LinkTransport> m_transport;
    SerialLine m_openLine; // what the port was opened with
    // The reply timer asked for while the transport was still opening.
    std::chrono::milliseconds m_replyPending{0};
    QByteArray m_rxBuffer;
    int m_eolKind = Cr;
    int m_crLfState = NeverArmed;
    Route m_route = Route::Replies;
    // The last line was cut at a lone CR: an LF that follows it, even in a
    // later chunk, belongs to that line end and not to the next reply.
    bool m_dropLf = false;
    int m_portLosses = 0;
    int m_dispatchDepth = 0;
    bool m_closePending = false;
    QTimer m_timer;     // reply timer
    QTimer m_timerCrLf; // line-end timer
    QString m_lastError;
    const clsIniFile *m_lang = nullptr;
};

// What only an operation's session may do to the link, for the tests,
// benchmarks and fuzz targets that drive a bare link without one.
struct SerialLinkProbe
{
    static void arm(SerialLink &link) { link.armLineEndDetection(); }
    static void route(SerialLink &link, SerialLink::Route route) { link.setRoute(route); }
};
