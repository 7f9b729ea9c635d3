#pragma once

#include "LinkViews.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class Messages;
class SerialLink;

// The program's side of the controller protocol: the command texts, one
// waiting flag per exchange (at most one set at a time), the recognition
// of error replies, the chains of exchanges (communication check, channel
// information, download, run start and stop, upload) and what a missing
// answer or a lost port does to them.
//
// It talks to the windows taking part only through the small views of
// LinkViews.h, attached while those windows are open. A message is shown
// only once the exchange it ends is over (flags cleared, reply timer
// stopped, port closed unless a new command was sent), so nothing that
// arrives while the box is open can land in a half-finished exchange.
class CommandSet : public QObject
{
    Q_OBJECT

public:
    CommandSet(SerialLink &link, Messages &messages, QObject *parent = nullptr);

    // The windows of the exchanges; null while they are not open.
    void setWaitView(WaitView *view) { m_wait = view; }
    void setDownView(DownView *view) { m_down = view; }
    void setExeView(ExeView *view) { m_exe = view; }
    void setUpView(UpView *view) { m_up = view; }
    void setStepSource(StepSource *source) { m_steps = source; }

    // ---- senders ----------------------------------------------------------
    // The communication check: "?:", then "CHINF:01"; the caller shows the
    // wait window after this returns.
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
    // Ends the exchange: port closed, reply timer stopped, flags cleared.
    void endExchange();

    // The text of a command with its two-digit channel: "CHINF:03".
    static QByteArray withChannel(const char *keyword, int ch);

    // Waiting flags, for the windows and the tests.
    bool bCommCheck = false;
    int commCheckStep = 0;
    bool bWaitChInfDown = false;
    bool bWaitChInfExe = false;
    bool bWaitLoad = false;
    bool bWaitStep = false;
    bool bWaitPgWrt = false;
    bool bWaitRemote = false;
    bool bWaitChInfUp = false;
    bool bWaitUpLine = false;
    bool bWaitNg = false;
    int sendStepNo = 0;

    // The last command sent, without its line end.
    QByteArray lastCommand() const { return m_lastCommand; }
    bool waiting() const;

signals:
    // Every command as it goes out (also when the port could not take it).
    void commandSent(const QByteArray &command);
    // Outcomes, for velomat-cli (the editor shows its messages instead).
    void commCheckPassed();
    void errorReplied(const QByteArray &line, int message);
    void timedOut(const QByteArray &command);
    void portFailed(const QString &reason);
    void downloadCompleted();

private:
    // Sends a command and its CR LF; with `await`, starts the reply timer.
    void send(const QByteArray &command, bool await);
    void clearUploadFlags();
    // Clears every flag the way a time-out does, unlocking the windows.
    void abandonExchange();
    // Shows a message once the port may be closed.
    void showMessage(int no);
    void showKey(const char *key);

    SerialLink &m_link;
    Messages &m_messages;
    WaitView *m_wait = nullptr;
    DownView *m_down = nullptr;
    ExeView *m_exe = nullptr;
    UpView *m_up = nullptr;
    StepSource *m_steps = nullptr;
    QByteArray m_lastCommand;
};
