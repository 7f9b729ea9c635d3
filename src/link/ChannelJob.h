#pragma once

#include "LinkSession.h"
#include "program/ProgCell.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class DownloadSession;
class StepList;
class UploadSession;
struct AppContext;

// Work on several channels in a row (the state of every channel, a backup,
// a restore, a compare), made of the one-channel sessions: each step runs
// one chain of a session and the job goes on once that chain has finished.
// The first chain that fails ends the job with that chain's result; what
// the job had done by then stays known to it. While the job runs, the
// command set shows no message boxes: the job reports once, at its end.
class ChannelJob : public QObject
{
    Q_OBJECT

public:
    ~ChannelJob() override;

    bool busy() const { return m_busy; }
    // The result of the job: Done, or the chain that failed (Stopped when
    // the user stopped it).
    const LinkSession::Result &result() const { return m_result; }
    // The traffic of every session the job ran, one line per exchange
    // direction as the link dialogs show it, with a blank line between
    // sessions.
    const QStringList &log() const { return m_log; }
    // The channel being worked on, or after a failure the one it failed
    // at; 0 before the job and after it ended well.
    int channel() const { return m_channel; }
    // Ends the job after the chain on the line (a running download or
    // upload is stopped where it is).
    void stop();

signals:
    void busyChanged(bool busy);
    // `done` of `total` units of work (channels, or lines where a job
    // counts lines).
    void progress(int done, int total);
    void finished(const LinkSession::Result &result);

protected:
    ChannelJob(AppContext &ctx, QObject *parent);

    // The job starts: busy, messages held.
    void begin();
    // The job ends with `result`: every session closed, messages released.
    void finish(const LinkSession::Result &result);
    void finishDone() { finish(LinkSession::Result()); }
    bool stopping() const { return m_stopping; }

    // The channel's state reply, then `then`.
    void readState(int channel, std::function<void(const QString &reply)> then);
    // The states of channels `first`..15 in turn: `each` with every reply,
    // then `then`.
    void readStates(int first, std::function<void(int channel, const QString &reply)> each,
                    std::function<void()> then);
    // The channel's program, then `then` with the session that read it.
    void upload(int channel, std::function<void(const UploadSession &)> then);
    // The steps into the channel (LOAD, every step, PGWRT, REMOTE), then
    // `then`; `loading` is called just before LOAD goes out, after the
    // link reset and the channel's state.
    void download(const QList<ProgStep> &steps, int channel, std::function<void()> loading,
                  std::function<void()> then);

    AppContext &m_ctx;

private:
    // Runs `start`, which starts a chain of the session, and `then` once
    // that chain has ended well.
    void runChain(LinkSession &session, std::function<void()> start, std::function<void()> then);
    void closeSessions();
    void keepLog(const LinkSession &session);

    std::unique_ptr<UploadSession> m_upload;
    std::unique_ptr<DownloadSession> m_download;
    QList<ProgStep> m_steps;
    std::unique_ptr<StepList> m_stepList;
    QMetaObject::Connection m_chainEnd;
    LinkSession::Result m_result;
    QStringList m_log;
    int m_channel = 0;
    bool m_busy = false;
    bool m_stopping = false;
};
