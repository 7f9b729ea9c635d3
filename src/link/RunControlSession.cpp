#include "RunControlSession.h"

#include "AppContext.h"
#include "Channel.h"

#include <QTime>

RunControlSession::RunControlSession(AppContext &ctx, QObject *parent) : LinkSession(ctx, parent)
{
}

void RunControlSession::open(int channel)
{
    m_channel = channel;
    m_state.clear();
    m_startMode = m_stopMode = false;
    openSession(SerialLink::Route::Replies, nullptr, nullptr, this, nullptr, nullptr, true);
}

void RunControlSession::afterReset()
{
    m_commands.reqChInfExe(m_channel);
}

void RunControlSession::requestState(int channel)
{
    m_channel = channel;
    m_startMode = m_stopMode = false;
    beginChain();
    m_commands.reqChInfExe(channel);
}

void RunControlSession::run(int channel)
{
    control(channel, true);
}

void RunControlSession::stop(int channel)
{
    control(channel, false);
}

void RunControlSession::control(int channel, bool start)
{
    m_channel = channel;
    m_startMode = start;
    m_stopMode = !start;
    beginChain();
    m_commands.reqLoad(Channel::kRunControl);
}

void RunControlSession::dispChInf(const QString &reply)
{
    m_state = reply;
    emit stateChanged(reply);
}

void RunControlSession::comWait(bool waiting)
{
    if (waiting)
        return;
    // The run or stop command awaits no answer: it is on the line once
    // written out, and the port is free for other programs again.
    if ((m_startMode || m_stopMode) && !failed()) {
        m_link.drain();
        m_link.closeAfterDispatch();
        // What was done, and when, in the run's language.
        const QString text = m_ctx.run.langIni
                                 .GetINIStr(QStringLiteral("dlgExe"),
                                            m_startMode ? QStringLiteral("Mes001") : QStringLiteral("Mes002"))
                                 .arg(Channel::text(m_channel), QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
        m_result = text;
        note(text);
        emit controlled(text);
    }
    m_startMode = m_stopMode = false;
    endChain();
}
