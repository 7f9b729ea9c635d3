#pragma once

#include "LinkSession.h"

// A download: the program of a StepSource (the active document, or the
// steps of a file) into one channel. Opening resets the link and asks for
// the state of the chosen channel; start() runs LOAD, every step, PGWRT and
// REMOTE, each after the answer to the one before; after a complete
// download the channel's state is asked for again, so that what is shown is
// what the controller now holds.
class DownloadSession : public LinkSession, public DownView
{
    Q_OBJECT

public:
    DownloadSession(AppContext &ctx, StepSource &program, QObject *parent = nullptr);

    // Attaches, resets the link, then asks for the channel's state.
    void open(int channel);
    void requestState(int channel);
    // Starts the download; false, with nothing sent and the reason in
    // result(), for a program without steps.
    bool start(int channel);
    // Ends a running download where it is: nothing more is sent (the
    // steps sent stay sent), and message 5 says so.
    void stop();

    int channel() const { return m_channel; }
    // The last channel information reply ("" while none is known).
    QString state() const { return m_state; }
    // True while the download itself runs (not a state request).
    bool downloading() const { return m_downloading; }
    int stepCount() const { return m_program.getStep(); }
    // The last download ran to REMOTE without a failure.
    bool completed() const { return m_completed && !m_downloading; }

    // DownView
    void dispChInf(const QString &reply) override;
    void comWait(bool waiting, int mode) override;
    void setProgressbar(int value) override;

signals:
    void stateChanged(const QString &reply);
    // Steps answered so far, of `total`: emitted once the request that
    // follows the answer has been written (or the exchange has ended).
    void progress(int step, int total);
    // A chain that start() began has ended, right after its finished():
    // the state requests of the session never emit it.
    void downloadFinished(const LinkSession::Result &result);

protected:
    void afterReset() override;

private:
    // Emits the progress of the step answered last, when not told yet.
    void tellProgress();

    StepSource &m_program;
    // The step whose answer the views have not heard of yet; -1 for none.
    int m_answeredStep = -1;
    int m_channel = 1;
    QString m_state;
    bool m_downloading = false;
    bool m_completed = false;
    // The running chain is a download's.
    bool m_downloadChain = false;
    // The state request that follows a complete download.
    bool m_refreshing = false;
};
