#include "LinkCheck.h"

LinkCheck::LinkCheck(AppContext &ctx, QObject *parent) : LinkSession(ctx, parent)
{
    connect(&m_commands, &CommandSet::commCheckPassed, this, [this] {
        if (isOpen())
            m_passed = true;
    });
}

void LinkCheck::start()
{
    openSession(SerialLink::Route::Replies, this, nullptr, nullptr, nullptr, nullptr, false);
    m_passed = false;
    beginChain();
    m_commands.startCommCheck();
}

void LinkCheck::closeWait()
{
    if (!m_passed && !failed()) {
        // Ended without an answer of its own (cannot happen today), so
        // never counted as passed.
        Result r;
        r.outcome = Outcome::NoAnswer;
        r.command = m_commands.lastCommand();
        fail(r);
    }
    endChain();
    close();
}
