#include "DownloadSession.h"

#include "AppContext.h"

#include <utility>

DownloadSession::DownloadSession(AppContext &ctx, StepSource &program, QObject *parent)
    : LinkSession(ctx, parent), m_program(program)
{
    connect(&m_commands, &CommandSet::downloadCompleted, this, [this] {
        if (isOpen())
            m_completed = true;
    });
    // The text of a request is on its way: what the last answer told the
    // views follows now (see setProgressbar).
    connect(&m_link, &SerialLink::traffic, this, [this](const QByteArray &, bool received) {
        if (!received)
            tellProgress();
    });
    connect(this, &LinkSession::finished, this, [this](const LinkSession::Result &result) {
        if (std::exchange(m_downloadChain, false))
            emit downloadFinished(result);
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
    m_downloadChain = true;
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
    m_answeredStep = -1;
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
    // The exchange ended without a next request: the last answered step
    // is told before the chain's end.
    tellProgress();
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
    // The answer to step `value` has come and the next request is about to
    // be sent: the views (a progress bar, a line on stderr) hear of it once
    // that request has been written, so that their work never delays it.
    m_answeredStep = value;
}

void DownloadSession::tellProgress()
{
    if (m_answeredStep < 0)
        return;
    emit progress(std::exchange(m_answeredStep, -1), m_program.getStep());
}
