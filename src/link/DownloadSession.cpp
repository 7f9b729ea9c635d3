#include "DownloadSession.h"

#include "AppContext.h"

DownloadSession::DownloadSession(AppContext &ctx, StepSource &program, QObject *parent)
    : LinkSession(ctx, parent), m_program(program)
{
    connect(&m_commands, &CommandSet::downloadCompleted, this, [this] {
        if (isOpen())
            m_completed = true;
    });
}

void DownloadSession::open(int channel)
{
    m_channel = channel;
    m_state.clear();
    openSession(SerialLink::Route::Replies, nullptr, this, nullptr, nullptr, &m_program, true);
}

void DownloadSession::afterReset()
{
    m_commands.reqChInfDown(m_channel);
}

void DownloadSession::requestState(int channel)
{
    m_channel = channel;
    beginChain();
    m_commands.reqChInfDown(channel);
}

bool DownloadSession::start(int channel)
{
    m_channel = channel;
    if (m_program.getStep() < 1) {
        // A LOAD with nothing after it would leave the channel empty.
        beginChain();
        Result r;
        r.outcome = Outcome::Refused;
        r.reason = QStringLiteral("the program has no steps");
        fail(r);
        endChain();
        return false;
    }
    m_completed = false;
    m_refreshing = false;
    m_downloading = true;
    beginChain();
    m_commands.reqLoad(channel);
    return true;
}

void DownloadSession::stop()
{
    if (!m_downloading)
        return;
    // Ended first, so that nothing arriving while the message is open can
    // continue the download.
    m_commands.endExchange();
    Result r;
    r.outcome = Outcome::Stopped;
    fail(r);
    m_downloading = false;
    m_ctx.messages.showMessage(CommandSet::DownloadStoppedMessage);
    endChain();
}

void DownloadSession::dispChInf(const QString &reply)
{
    m_state = reply;
    emit stateChanged(reply);
}

void DownloadSession::comWait(bool waiting, int mode)
{
    if (waiting)
        return; // busy since the chain began
    if (mode == CommandSet::DownloadMode) {
        if (!m_downloading)
            return;
        m_downloading = false;
        if (m_completed && !failed()) {
            // What the controller holds now, as it reports it; the
            // download's own result stands whatever this request meets.
            m_refreshing = true;
            setFailuresIgnored(true);
            m_commands.reqChInfDown(m_channel);
            return;
        }
        endChain();
        return;
    }
    if (m_refreshing) {
        m_refreshing = false;
        endChain();
        return;
    }
    endChain();
}

void DownloadSession::setProgressbar(int value)
{
    emit progress(value, m_program.getStep());
}
