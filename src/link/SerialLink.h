#pragma once

#include "SerialLine.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <chrono>

// The serial link to the controller: sends one command text at a time,
// collects what comes back, cuts it into reply lines at the controller's
// line end (CR, LF or CR LF, found out when armed), and hands each line on.
// It owns the port and the two single-shot timers that pace the link: the
// reply timer (how long an answer may take) and the line-end timer (how long
// the detection waits to see the whole end of the first reply).
//
// Every command starts from empty buffers: a send discards whatever is still
// waiting from earlier traffic. The port stays open between the commands of
// a chain and is closed when an exchange ends (endExchange of the command
// set), so it is free between operations and a late answer is not received.
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

    struct Intervals
    {
        std::chrono::milliseconds reply{3000};
        std::chrono::milliseconds crLf{100};
        std::chrono::milliseconds resetPause{100};
    };

    // `line` is read at every open: the settings put the port in place.
    explicit SerialLink(const SerialLine &line, QObject *parent = nullptr);
    ~SerialLink() override;

    Intervals intervals;

    // Sends the text as it is (callers add the line end), from empty
    // buffers. False when the port cannot be opened or the write is refused;
    // the reason is in lastError(). Nothing is signalled then: for a
    // command that awaits an answer, the reply timer tells.
    bool sendText(const QByteArray &text);
    // Appends received bytes and hands on every complete line.
    void receiveText(const QByteArray &chunk);
    // The attention command "?:" with its answer thrown away: receiving is
    // off for a short pause (events still run) and everything that came in
    // is dropped. The user interface is locked meanwhile (uiLocked).
    void resetLink();
    // Closes the port when it is open.
    void closePort();
    bool isOpen() const { return m_port.isOpen(); }
    // Waits until what was written has left for the device (a command that
    // awaits no answer, before the program ends).
    void drain();

    void stopTimers();
    void setReplyTimer(bool on);
    void setCrLfTimer(bool on);
    bool replyTimerActive() const { return m_timer.isActive(); }

    // The line-end detection: the download dialog arms it when it loads.
    int crLfState() const { return m_crLfState; }
    void setCrLfState(int state) { m_crLfState = state; }
    int eolKind() const { return m_eolKind; }
    QByteArray rxBuffer() const { return m_rxBuffer; }

    // Open while the download dialog (every text is logged) or the upload
    // dialog (lines go to the upload handling) is loaded.
    bool bDownOpen = false;
    bool bUpOpen = false;

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

signals:
    // A complete line while the upload dialog is not open.
    void lineReceived(const QByteArray &line);
    // A complete line while the upload dialog is open.
    void uploadLineReceived(const QByteArray &line);
    // The reply timer ran out.
    void replyTimedOut();
    // Sent (received = false) or received text, for the download log.
    void traffic(const QByteArray &text, bool received);
    // The port went away while open (an adapter pulled out).
    void portLost(const QString &reason);
    // The user interface must not take input (resetLink's pause).
    void uiLocked(bool locked);

private:
    bool openPort();
    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);
    void Timer_Timer();
    void TimerCrLf_Timer();

    const SerialLine &m_line;
    QSerialPort m_port;
    SerialLine m_openLine; // what the port was opened with
    QByteArray m_rxBuffer;
    int m_eolKind = Cr;
    int m_crLfState = NeverArmed;
    bool m_receiving = true;
    int m_dispatchDepth = 0;
    bool m_closePending = false;
    QTimer m_timer;     // reply timer
    QTimer m_timerCrLf; // line-end timer
    QString m_lastError;
};
