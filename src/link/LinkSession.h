#pragma once

#include "CommandSet.h"
#include "SerialLink.h"
#include "TrafficLog.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class Messages;
struct AppContext;

// One operation on the controller (link check, download, upload, run
// control), written once for the editor's dialogs and for velomat-cli. A
// session owns its state and the whole order of its exchanges: it stops the
// timers, arms the line-end detection, routes the received lines, attaches
// itself to the command set as that operation's views, resets the link,
// sends its requests, and ends and detaches again. The dialogs and the CLI
// only call its slots and follow its plain signals.
//
// A chain of exchanges (the link reset, a channel state request, a whole
// download ...) ends in finished() with its result; the first failure of a
// chain is its result, whatever follows from it.
class LinkSession : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Done,       // the chain ran to its end
        ErrorReply, // the controller answered with an error reply
        NoAnswer,   // no answer within the reply time-out
        PortFailed, // the port could not be opened, or went away
        Stopped,    // the user stopped it
        Refused,    // the host refused it (a line it cannot read, an empty program)
        Empty,      // an upload of a channel that holds no program
    };

    struct Result
    {
        Outcome outcome = Outcome::Done;
        QByteArray command; // NoAnswer: the command left unanswered
        QByteArray reply;   // ErrorReply: the reply, "!5"; Refused: the line
        int message = -1;   // ErrorReply: the message number of the reply
        QString reason;     // PortFailed: the port and its reason; Refused: why
        bool ok() const { return outcome == Outcome::Done; }
    };

    ~LinkSession() override;

    // What went wrong in a chain, in the run's language, as a view tells
    // it: the message of an error reply or of a missing answer, else the
    // reason the chain recorded.
    static QString describe(const Result &result, const Messages &messages);

    bool isOpen() const { return m_open; }
    bool busy() const { return m_busy; }
    // The result of the chain that ended last.
    const Result &result() const { return m_result; }
    // Every text sent and received while the session was open.
    const TrafficLog &log() const;

    // Ends any exchange and detaches from the command set; the session
    // can be opened again.
    void close();

signals:
    void busyChanged(bool busy);
    // The traffic log grows: traffic passed that log() has not returned
    // yet (told once until the log is read again), or the log was cleared.
    void logChanged();
    void finished(const LinkSession::Result &result);

protected:
    // A line of the log that is not traffic: what an exchange achieved.
    void note(const QString &text);
    explicit LinkSession(AppContext &ctx, QObject *parent = nullptr);

    // Opens the session: timers stopped, line-end detection armed (the
    // first answer shows the controller's line end), received lines routed,
    // the session's views attached; then, with `reset`, the link reset,
    // whose end calls resetFinished().
    void openSession(SerialLink::Route route, WaitView *wait, DownView *down, ExeView *exe,
                     UpView *up, StepSource *steps, bool reset);
    // The link reset was answered: the session's first request follows
    // (by default none). A reset that failed ends the chain instead.
    virtual void afterReset() { endChain(); }

    // A chain starts: busy, no failure yet.
    void beginChain();
    // Records the chain's first failure; none while the rest of a chain is
    // only a courtesy whose failure does not change its result.
    void fail(const Result &failure);
    void setFailuresIgnored(bool ignored) { m_failuresIgnored = ignored; }
    bool failed() const { return m_failed; }
    // The chain ended: idle, finished() with its result.
    void endChain(Outcome ifNoFailure = Outcome::Done);

    AppContext &m_ctx;
    CommandSet &m_commands;
    SerialLink &m_link;

private:
    void setBusy(bool busy);
    void onErrorReplied(const QByteArray &line, int message);
    void onTimedOut(const QByteArray &command);
    void onPortFailed(const QString &reason);
    void onResetDone();
    // A time-out or a lost port: the chain's failure, and the end of a
    // reset that was waiting for its answer.
    void failExchange(const Result &failure);
    void resetFinished();

    // The traffic as it passed, put into the log when the log is read:
    // formatted as it passes, it would stand between an answer and the next
    // request.
    enum class Passage { Sent, Received, ExchangeEnded, Note };
    struct Passed
    {
        QByteArray text;
        Passage kind;
        QString note = {};
    };
    void pass(const Passed &passed);
    mutable QList<Passed> m_passed;
    mutable TrafficLog m_log;
    Result m_result;
    bool m_open = false;
    bool m_busy = false;
    bool m_failed = false;
    bool m_resetting = false;
    bool m_failuresIgnored = false;
};
