#pragma once

#include "LinkViews.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

class Messages;
class SerialLink;

// The program's side of the controller protocol: the command texts, what
// answer is awaited (one state, at most one answer at a time), the
// recognition of error replies, the chains of exchanges (link reset,
// communication check, channel information, download, run start and stop,
// upload) and what a missing answer or a lost port does to them.
//
// It talks to the operation that runs the exchange only through the small
// views of LinkViews.h, which the session of that operation attaches while
// it is open (see LinkSession). A message is shown only once the exchange
// it ends is over (state cleared, reply timer stopped, port closed unless a
// new command was sent), so nothing that arrives while the box is open can
// land in a half-finished exchange.
class CommandSet : public QObject
{
    Q_OBJECT

public:
    // What the command set is waiting for.
    enum class Awaiting {
        Nothing,
        Reset,          // the answer to the link reset's "?:", dropped
        CommCheck,      // the communication check's "?:"
        CommCheckChInf, // the communication check's "CHINF:01"
        ChInfDown,      // channel information for a download
        ChInfExe,       // channel information for run control
        Load,
        Step,
        PgWrt,
        Remote,
        ChInfUp,        // channel information for an upload
        UpLine,         // the next uploaded line
        Ng,             // the answer to NG after a refused line or a stop
    };

    // The two modes of the download view's comWait.
    enum DownMode { ChannelInfoMode = 1, DownloadMode = 2 };

    // The numbered messages the command set shows itself.
    enum MessageNo {
        NoAnswerMessage = 4,
        DownloadStoppedMessage = 5,
        DownloadCompleteMessage = 6,
        FirstErrorMessage = 7,   // "!0"; "!1" .. "!8" follow in order
        UnknownErrorMessage = 16 // "!" alone, or "!" and any other character
    };

    // The reply codes of the protocol.
    static constexpr char kErrorMark = '!';
    static constexpr char kLastErrorCode = '8';
    static constexpr char kAck = '\x06';

    CommandSet(SerialLink &link, Messages &messages, QObject *parent = nullptr);

    // ---- senders ----------------------------------------------------------
    // The link reset: "?:", whose answer is awaited (so that it can never be
    // taken for the answer to the next command) and then thrown away.
    void resetLink();
    // The communication check: "?:", then "CHINF:01".
    void startCommCheck();
    void reqChInfDown(int ch);
    void reqChInfExe(int ch);
    void reqChInfUp(int ch);
    void reqLoad(int ch);
    void sendStep(int n);
    void sendPgWrite();
    void sendRemote();
    void sendRun(int ch);
    void sendStop();
    void reqUpload(int ch);
    void sendUploadAck();
    void sendUploadNg();

    // ---- replies ----------------------------------------------------------
    // True for an error reply ("!" alone, or "!" and one character), after
    // showing its message; false otherwise.
    bool checkErrorReply(const QByteArray &line);
    // The message number of an error reply, or -1 for a normal reply.
    static int errorMessageOf(const QByteArray &line);
    void dispatchReply(const QByteArray &line);
    void dispatchUploadReply(const QByteArray &line);
    // 0 an empty line (end of the upload), 1 a program line, -1 other.
    static int classifyUploadLine(const QByteArray &line);
    void onReplyTimeout();
    void onPortLost(const QString &reason);
    void onOpenFailed(const QString &reason);
    // Ends the exchange: port closed, reply timer stopped, nothing awaited.
    void endExchange();

    // What is awaited, by the documented names.
    Awaiting awaiting() const { return m_awaiting; }
    bool waiting() const { return m_awaiting != Awaiting::Nothing; }
    bool bCommCheck() const { return is(Awaiting::CommCheck) || is(Awaiting::CommCheckChInf); }
    int commCheckStep() const { return is(Awaiting::CommCheckChInf) ? 1 : 0; }
    bool bWaitChInfDown() const { return is(Awaiting::ChInfDown); }
    bool bWaitChInfExe() const { return is(Awaiting::ChInfExe); }
    bool bWaitLoad() const { return is(Awaiting::Load); }
    bool bWaitStep() const { return is(Awaiting::Step); }
    bool bWaitPgWrt() const { return is(Awaiting::PgWrt); }
    bool bWaitRemote() const { return is(Awaiting::Remote); }
    bool bWaitChInfUp() const { return is(Awaiting::ChInfUp); }
    bool bWaitUpLine() const { return is(Awaiting::UpLine); }
    bool bWaitNg() const { return is(Awaiting::Ng); }
    int sendStepNo() const { return m_sendStepNo; }

    // The last command sent, without its line end.
    QByteArray lastCommand() const { return m_lastCommand; }

signals:
    // Every command as it goes out (also when the port could not take it).
    void commandSent(const QByteArray &command);
    // Outcomes, emitted before the views are unlocked and before any
    // message is shown, so that an operation knows how its chain ended
    // when its view is told that it did.
    void resetDone();
    void commCheckPassed();
    void errorReplied(const QByteArray &line, int message);
    void timedOut(const QByteArray &command);
    void portFailed(const QString &reason);
    void downloadCompleted();
    // An exchange ended (answered, abandoned or stopped): the traffic log's
    // next sent text starts a new line.
    void exchangeEnded();

private:
    friend class LinkSession;

    bool is(Awaiting a) const { return m_awaiting == a; }
    // Sends a command and its CR LF, awaiting `awaited` (Nothing: no answer
    // is awaited and no reply timer runs). A port that cannot be opened ends
    // the exchange at once with the port's reason.
    void send(const QByteArray &command, Awaiting awaited);
    // Clears the state the way a time-out does, unlocking the views.
    void abandonExchange();
    // Shows a message once the port may be closed.
    void showMessage(int no);
    void showKey(const char *key);
    void showWithReason(const char *key, const QString &reason);

    // One handler per awaited answer; each ends the exchange first.
    void onResetReply(const QByteArray &line);
    void onCommCheckReply(const QByteArray &line);
    void onCommCheckChInfReply(const QByteArray &line);
    void onChInfDownReply(const QByteArray &line);
    void onChInfExeReply(const QByteArray &line);
    void onStepReply(const QByteArray &line);
    void onLoadReply(const QByteArray &line);
    void onPgWrtReply(const QByteArray &line);
    void onRemoteReply(const QByteArray &line);
    void onChInfUpReply(const QByteArray &line);
    void onUpLineReply(const QByteArray &line);
    void onNgReply(const QByteArray &line);
    bool runControlMode() const;
    // "Channel 02" (", step 037" while a step is awaited); empty with no
    // channel yet.
    QString where() const;
    // "where: what", or what alone without a where.
    static QString located(const QString &where, const QString &what);
    // An information text, then the channel and the step count.
    void showWithCount(const QString &text, int steps);

    // The operation's views, attached by its session.
    void attach(WaitView *wait, DownView *down, ExeView *exe, UpView *up, StepSource *steps);
    void detach();

    SerialLink &m_link;
    Messages &m_messages;
    WaitView *m_wait = nullptr;
    DownView *m_down = nullptr;
    ExeView *m_exe = nullptr;
    UpView *m_up = nullptr;
    StepSource *m_steps = nullptr;
    Awaiting m_awaiting = Awaiting::Nothing;
    int m_sendStepNo = 0;
    // The channel of the exchange and, for an answer, where it belongs
    // ("Channel 02, step 037"), for the messages.
    int m_channel = 0;
    QString m_where;
    QByteArray m_lastCommand;
};
