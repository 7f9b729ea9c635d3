#include "ChannelJob.h"

#include "AppContext.h"
#include "Channel.h"
#include "DownloadSession.h"
#include "StepList.h"
#include "UploadSession.h"

ChannelJob::ChannelJob(AppContext &ctx, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_upload(std::make_unique<UploadSession>(ctx))
{
}

ChannelJob::~ChannelJob()
{
    disconnect(m_chainEnd);
    // Off the command set before the sessions go.
    closeSessions();
    if (m_busy)
        m_ctx.messages.release();
}

void ChannelJob::begin()
{
    m_result = LinkSession::Result();
    m_log.clear();
    m_stopping = false;
    m_channel = 0;
    if (!m_busy) {
        m_busy = true;
        m_ctx.messages.hold();
        emit busyChanged(true);
    }
}

void ChannelJob::finish(const LinkSession::Result &result)
{
    disconnect(m_chainEnd);
    closeSessions();
    m_result = result;
    if (result.ok())
        m_channel = 0;
    if (m_busy) {
        m_busy = false;
        m_ctx.messages.release();
        emit busyChanged(false);
    }
    emit finished(m_result);
}

void ChannelJob::stop()
{
    if (!m_busy)
        return;
    m_stopping = true;
    if (m_upload->uploading())
        m_upload->stop();
    if (m_download && m_download->downloading())
        m_download->stop();
}

void ChannelJob::keepLog(const LinkSession &session)
{
    const QStringList lines = session.log().lines();
    if (lines.isEmpty())
        return;
    if (!m_log.isEmpty())
        m_log << QString();
    m_log << lines;
}

void ChannelJob::closeSessions()
{
    for (LinkSession *session : {static_cast<LinkSession *>(m_upload.get()),
                                 static_cast<LinkSession *>(m_download.get())}) {
        if (session && session->isOpen()) {
            keepLog(*session);
            session->close();
        }
    }
}

void ChannelJob::runChain(LinkSession &session, std::function<void()> start, std::function<void()> then)
{
    // One session on the command set at a time.
    LinkSession *other = &session == m_upload.get() ? static_cast<LinkSession *>(m_download.get())
                                                    : m_upload.get();
    if (other && other->isOpen()) {
        keepLog(*other);
        other->close();
    }
    // The next chain starts once this one has wholly ended: queued, so that
    // the session has left its handling of the last answer first.
    disconnect(m_chainEnd);
    m_chainEnd = connect(&session, &LinkSession::finished, this, [this, &session, then = std::move(then)] {
        disconnect(m_chainEnd);
        const LinkSession::Result r = session.result();
        if (!r.ok()) {
            finish(r);
        } else if (m_stopping) {
            LinkSession::Result stopped;
            stopped.outcome = LinkSession::Outcome::Stopped;
            finish(stopped);
        } else {
            then();
        }
    }, Qt::QueuedConnection);
    start();
}

void ChannelJob::readStates(int first, std::function<void(int, const QString &)> each, std::function<void()> then)
{
    readState(first, [this, first, each = std::move(each), then = std::move(then)](const QString &reply) {
        each(first, reply);
        if (first < Channel::kLast)
            readStates(first + 1, each, then);
        else
            then();
    });
}

void ChannelJob::readState(int channel, std::function<void(const QString &)> then)
{
    m_channel = channel;
    UploadSession &s = *m_upload;
    const bool open = s.isOpen();
    // Opening resets the link and asks for the state itself.
    runChain(s, [&s, channel, open] { open ? s.requestState(channel) : s.open(channel); },
             [&s, then = std::move(then)] { then(s.state()); });
}

void ChannelJob::upload(int channel, std::function<void(const UploadSession &)> then)
{
    m_channel = channel;
    UploadSession &s = *m_upload;
    auto read = [this, &s, channel, then = std::move(then)] {
        runChain(s, [&s, channel] { s.start(channel); }, [&s, then] { then(s); });
    };
    if (s.isOpen())
        read();
    else
        runChain(s, [&s, channel] { s.open(channel); }, read);
}

void ChannelJob::download(const QList<ProgStep> &steps, int channel, std::function<void()> loading,
                          std::function<void()> then)
{
    m_channel = channel;
    if (m_download) {
        if (m_download->isOpen()) {
            keepLog(*m_download);
            m_download->close();
        }
        // Its last answer may still be on the way out of it.
        m_download.release()->deleteLater();
    }
    m_steps = steps;
    m_stepList = std::make_unique<StepList>(m_ctx.catalogue, m_steps);
    m_download = std::make_unique<DownloadSession>(m_ctx, *m_stepList);
    DownloadSession &s = *m_download;
    runChain(s, [&s, channel] { s.open(channel); },
             [this, &s, channel, loading = std::move(loading), then = std::move(then)] {
        runChain(s, [this, &s, channel, loading] {
            if (loading)
                loading();
            // A program without steps: nothing is sent, and no chain runs.
            if (!s.start(channel)) {
                disconnect(m_chainEnd);
                finish(s.result());
            }
        }, then);
    });
}
