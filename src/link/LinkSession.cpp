#include "LinkSession.h"

#include "AppContext.h"

LinkSession::LinkSession(AppContext &ctx, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_commands(ctx.commands), m_link(ctx.link)
{
    connect(&m_commands, &CommandSet::errorReplied, this, &LinkSession::onErrorReplied);
    connect(&m_commands, &CommandSet::timedOut, this, &LinkSession::onTimedOut);
    connect(&m_commands, &CommandSet::portFailed, this, &LinkSession::onPortFailed);
    connect(&m_commands, &CommandSet::resetDone, this, &LinkSession::onResetDone);
    connect(&m_commands, &CommandSet::exchangeEnded, this, [this] {
        if (m_open)
            pass({QByteArray(), Passage::ExchangeEnded});
    });
    connect(&m_link, &SerialLink::traffic, this, [this](const QByteArray &text, bool received) {
        if (m_open && !text.isEmpty())
            pass({text, received ? Passage::Received : Passage::Sent});
    });
}

const TrafficLog &LinkSession::log() const
{
    for (const Passed &p : std::as_const(m_passed)) {
        if (p.kind == Passage::ExchangeEnded)
            m_log.bNewLine = true;
        else if (p.kind == Passage::Note)
            m_log.putNote(p.note);
        else
            m_log.putMsg(p.text, p.kind == Passage::Received);
    }
    m_passed.clear();
    return m_log;
}

void LinkSession::note(const QString &text)
{
    pass({QByteArray(), Passage::Note, text});
}

void LinkSession::pass(const Passed &passed)
{
    // Told once until the log is read again, whatever passed first.
    const bool first = m_passed.isEmpty();
    m_passed.append(passed);
    if (first)
        emit logChanged();
}

QString LinkSession::describe(const Result &result, const Messages &messages)
{
    switch (result.outcome) {
    case Outcome::ErrorReply: return messages.messageText(result.message);
    case Outcome::NoAnswer: return messages.messageText(CommandSet::NoAnswerMessage);
    default: return result.reason;
    }
}

LinkSession::~LinkSession()
{
    // Destroyed while open: the command set must not call back into views
    // that are gone, nor keep waiting for them.
    if (m_open)
        close();
}

void LinkSession::openSession(SerialLink::Route route, WaitView *wait, DownView *down, ExeView *exe,
                              UpView *up, StepSource *steps, bool reset)
{
    m_commands.endExchange();
    m_link.stopTimers();
    m_link.armLineEndDetection();
    m_link.setRoute(route);
    m_commands.attach(wait, down, exe, up, steps);
    m_open = true;
    m_log = TrafficLog();
    m_passed.clear();
    emit logChanged();
    if (!reset)
        return;
    // The reset's answer is awaited: the detection sees it, and it can
    // never be taken for the answer to the first request.
    beginChain();
    m_resetting = true;
    m_commands.resetLink();
}

void LinkSession::close()
{
    if (!m_open)
        return;
    m_resetting = false;
    m_commands.endExchange();
    m_commands.detach();
    m_link.setRoute(SerialLink::Route::Replies);
    m_open = false;
    setBusy(false);
}

void LinkSession::beginChain()
{
    m_failed = false;
    m_failuresIgnored = false;
    m_result = Result();
    setBusy(true);
}

void LinkSession::fail(const Result &failure)
{
    if (m_failed || !m_busy || m_failuresIgnored)
        return;
    m_failed = true;
    m_result = failure;
}

void LinkSession::endChain(Outcome ifNoFailure)
{
    if (!m_busy)
        return;
    if (!m_failed)
        m_result.outcome = ifNoFailure;
    setBusy(false);
    emit finished(m_result);
}

void LinkSession::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    emit busyChanged(busy);
}

void LinkSession::onErrorReplied(const QByteArray &line, int message)
{
    if (!m_open)
        return;
    Result r;
    r.outcome = Outcome::ErrorReply;
    r.reply = line;
    r.message = message;
    fail(r);
}

void LinkSession::onTimedOut(const QByteArray &command)
{
    Result r;
    r.outcome = Outcome::NoAnswer;
    r.command = command;
    failExchange(r);
}

void LinkSession::onPortFailed(const QString &reason)
{
    // Kept with the traffic, in the words the user was shown.
    if (m_open)
        note(reason);
    Result r;
    r.outcome = Outcome::PortFailed;
    r.reason = reason;
    failExchange(r);
}

void LinkSession::failExchange(const Result &failure)
{
    if (!m_open)
        return;
    fail(failure);
    if (m_resetting) {
        m_resetting = false;
        resetFinished();
    }
}

void LinkSession::resetFinished()
{
    if (failed())
        endChain();
    else
        afterReset();
}

void LinkSession::onResetDone()
{
    if (!m_open || !m_resetting)
        return;
    m_resetting = false;
    resetFinished();
}
