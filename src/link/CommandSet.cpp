#include "CommandSet.h"

#include "SerialLink.h"
#include "config/Messages.h"
#include "config/TextCodec.h"

namespace {

bool isStartOrStop(const ExeView *exe)
{
    return exe && (exe->startMode() || exe->stopMode());
}

} // namespace

CommandSet::CommandSet(SerialLink &link, Messages &messages, QObject *parent)
    : QObject(parent), m_link(link), m_messages(messages)
{
    connect(&link, &SerialLink::lineReceived, this, &CommandSet::dispatchReply);
    connect(&link, &SerialLink::uploadLineReceived, this, &CommandSet::dispatchUploadReply);
    connect(&link, &SerialLink::replyTimedOut, this, &CommandSet::onReplyTimeout);
    connect(&link, &SerialLink::portLost, this, &CommandSet::onPortLost);
}

QByteArray CommandSet::withChannel(const char *keyword, int ch)
{
    return QByteArray(keyword) + QByteArray::number(ch).rightJustified(2, '0');
}

bool CommandSet::waiting() const
{
    return bCommCheck || bWaitChInfDown || bWaitChInfExe || bWaitLoad || bWaitStep || bWaitPgWrt
        || bWaitRemote || bWaitChInfUp || bWaitUpLine || bWaitNg;
}

void CommandSet::send(const QByteArray &command, bool await)
{
    m_lastCommand = command;
    emit commandSent(command);
    // A send that fails (the port cannot be opened) says nothing here: for
    // a command that awaits an answer the reply timer tells. A port lost in
    // the write has already ended the exchange.
    const bool sent = m_link.sendText(command + "\r\n");
    if (await && (sent || waiting()))
        m_link.setReplyTimer(true);
}

// ---- senders ---------------------------------------------------------------

void CommandSet::startCommCheck()
{
    bCommCheck = true;
    commCheckStep = 0;
    send("?:", true);
}

void CommandSet::reqChInfDown(int ch)
{
    if (m_down) {
        m_down->dispChInf(QString());
        m_down->comWait(true, 1);
    }
    bWaitChInfDown = true;
    send(withChannel("CHINF:", ch), true);
}

void CommandSet::reqChInfExe(int ch)
{
    if (m_exe) {
        m_exe->dispChInf(QString());
        m_exe->comWait(true);
    }
    bWaitChInfExe = true;
    send(withChannel("CHINF:", ch), true);
}

void CommandSet::reqChInfUp(int ch)
{
    if (m_up)
        m_up->DispStatus(QString());
    bWaitChInfUp = true;
    send(withChannel("CHINF:", ch), true);
}

void CommandSet::reqLoad(int ch)
{
    if (isStartOrStop(m_exe))
        m_exe->comWait(true);
    else if (m_down)
        m_down->comWait(true, 2);
    bWaitLoad = true;
    send(withChannel("LOAD:", ch), true);
}

void CommandSet::sendStep(int n)
{
    sendStepNo = n;
    if (m_down)
        m_down->comWait(true, 2);
    bWaitStep = true;
    send(m_steps ? TextCodec::encode(m_steps->getSendStep(n)) : QByteArray(), true);
}

void CommandSet::sendPgWrite()
{
    if (m_down)
        m_down->comWait(true, 2);
    bWaitPgWrt = true;
    send("PGWRT:", true);
}

void CommandSet::sendRemote()
{
    if (m_down)
        m_down->comWait(true, 2);
    bWaitRemote = true;
    send("REMOTE:", true);
}

void CommandSet::sendRun(int ch)
{
    send(withChannel("Z:", ch), false);
}

void CommandSet::sendStop()
{
    send("U07:", false);
}

void CommandSet::reqUpload(int ch)
{
    bWaitUpLine = true;
    send(withChannel("UPLOAD:", ch), true);
}

void CommandSet::sendUploadAck()
{
    bWaitUpLine = true;
    send(QByteArray(), true);
}

void CommandSet::sendUploadNg()
{
    bWaitNg = true;
    send("NG:", false);
}

// ---- replies ---------------------------------------------------------------

int CommandSet::errorMessageOf(const QByteArray &line)
{
    if (line.isEmpty() || line.at(0) != '!' || line.size() > 2)
        return -1;
    if (line.size() == 1)
        return 16;
    const char code = line.at(1);
    // "!0" .. "!8" have messages 7 .. 15 of their own; any other is 16.
    return code >= '0' && code <= '8' ? 7 + (code - '0') : 16;
}

bool CommandSet::checkErrorReply(const QByteArray &line)
{
    const int message = errorMessageOf(line);
    if (message < 0)
        return false;
    showMessage(message);
    emit errorReplied(line, message);
    return true;
}

void CommandSet::showMessage(int no)
{
    m_link.closeIfPending();
    m_messages.showMessage(no);
}

void CommandSet::showKey(const char *key)
{
    m_link.closeIfPending();
    m_messages.showKey(QLatin1String(key), MsgKind::Information);
}

void CommandSet::dispatchReply(const QByteArray &line)
{
    if (bCommCheck) {
        const int step = commCheckStep;
        endExchange();
        if (step == 0) {
            if (checkErrorReply(line)) {
                if (m_wait)
                    m_wait->closeWait();
                return;
            }
            bCommCheck = true;
            commCheckStep = 1;
            send(withChannel("CHINF:", 1), true);
            return;
        }
        if (!checkErrorReply(line)) {
            emit commCheckPassed();
            showKey("Mes000");
        }
        if (m_wait)
            m_wait->closeWait();
        return;
    }
    if (bWaitChInfDown) {
        endExchange();
        if (!checkErrorReply(line) && m_down)
            m_down->dispChInf(TextCodec::decode(line));
        if (m_down)
            m_down->comWait(false, 1);
        return;
    }
    if (bWaitChInfExe) {
        endExchange();
        if (!checkErrorReply(line) && m_exe)
            m_exe->dispChInf(TextCodec::decode(line));
        if (m_exe)
            m_exe->comWait(false);
        return;
    }
    if (bWaitStep) {
        endExchange();
        if (checkErrorReply(line)) {
            if (m_down)
                m_down->comWait(false, 2);
            return;
        }
        if (m_down)
            m_down->setProgressbar(sendStepNo);
        if (m_steps && sendStepNo < m_steps->getStep())
            sendStep(sendStepNo + 1);
        else
            sendPgWrite();
        return;
    }
    if (bWaitLoad) {
        endExchange();
        if (!isStartOrStop(m_exe)) {
            // A download.
            if (checkErrorReply(line)) {
                if (m_down)
                    m_down->comWait(false, 2);
                return;
            }
            sendStep(1);
            return;
        }
        if (checkErrorReply(line)) {
            m_exe->comWait(false);
            return;
        }
        if (m_exe->startMode()) {
            sendRun(m_exe->selectedChannel());
            m_exe->comWait(false);
        }
        if (m_exe->stopMode()) {
            sendStop();
            m_exe->comWait(false);
        }
        return;
    }
    if (bWaitPgWrt) {
        endExchange();
        if (checkErrorReply(line)) {
            if (m_down)
                m_down->comWait(false, 2);
            return;
        }
        sendRemote();
        return;
    }
    if (bWaitRemote) {
        endExchange();
        if (!checkErrorReply(line)) {
            emit downloadCompleted();
            showMessage(6);
        }
        if (m_down)
            m_down->comWait(false, 2);
        return;
    }
    // Nothing awaited: only an error reply has something to say.
    checkErrorReply(line);
}

int CommandSet::classifyUploadLine(const QByteArray &line)
{
    if (line.isEmpty())
        return 0;
    return QByteArrayView("ABCDHMPRSUW#").contains(line.at(0)) ? 1 : -1;
}

void CommandSet::dispatchUploadReply(const QByteArray &line)
{
    if (bWaitChInfUp) {
        // The exchange ends before an error reply's message is shown.
        endExchange();
        const bool error = checkErrorReply(line);
        if (m_up) {
            m_up->SetEnabled(false);
            if (!error)
                m_up->DispStatus(TextCodec::decode(line));
        }
        return;
    }
    if (bWaitUpLine) {
        switch (classifyUploadLine(line)) {
        case 1: {
            const bool taken = m_up && m_up->bTakeUploadLine(line);
            endExchange();
            if (taken) {
                m_up->Plus1Progress();
                sendUploadAck();
            } else {
                sendUploadNg();
                showKey("Mes001");
            }
            return;
        }
        case 0:
            endExchange();
            showKey("Mes021");
            if (m_up)
                m_up->uploadFinished();
            return;
        default:
            endExchange();
            if (m_up)
                m_up->SetEnabled(false);
            return;
        }
    }
    if (bWaitNg) {
        endExchange();
        if (m_up)
            m_up->SetEnabled(false);
    }
}

void CommandSet::abandonExchange()
{
    if (bCommCheck) {
        bCommCheck = false;
        if (m_wait)
            m_wait->closeWait();
    }
    if (m_down)
        m_down->setNewLine(true);
    if (bWaitChInfDown) {
        bWaitChInfDown = false;
        if (m_down) {
            m_down->dispChInf(QString());
            m_down->comWait(false, 1);
        }
    } else if (bWaitChInfExe) {
        bWaitChInfExe = false;
        if (m_exe) {
            m_exe->dispChInf(QString());
            m_exe->comWait(false);
        }
    } else if (bWaitLoad || bWaitRemote) {
        bWaitLoad = bWaitRemote = false;
        if (isStartOrStop(m_exe))
            m_exe->comWait(false);
        else if (m_down)
            m_down->comWait(false, 2);
    } else if (bWaitPgWrt || bWaitStep) {
        bWaitPgWrt = bWaitStep = false;
        if (m_down)
            m_down->comWait(false, 2);
    }
    endExchange();
    if (m_up)
        m_up->SetEnabled(false);
}

void CommandSet::onReplyTimeout()
{
    // Everything is unlocked and closed first; the message comes last, so
    // that an answer arriving while it is shown finds no exchange open.
    abandonExchange();
    emit timedOut(m_lastCommand);
    showMessage(4);
}

void CommandSet::onPortLost(const QString &reason)
{
    const bool wasWaiting = waiting();
    abandonExchange();
    emit portFailed(reason);
    if (wasWaiting) {
        const QString text = m_messages.keyText(QStringLiteral("Mes055"));
        m_messages.show(MsgKind::Error, MsgButtons::Ok,
                        text.contains(QLatin1String("%1")) ? text.arg(reason) : text + u'\n' + reason);
    }
}

void CommandSet::endExchange()
{
    m_link.closeAfterDispatch();
    m_link.setReplyTimer(false);
    bCommCheck = false;
    bWaitChInfDown = bWaitChInfExe = bWaitLoad = bWaitStep = bWaitPgWrt = bWaitRemote = false;
    if (m_down)
        m_down->setNewLine(true);
    if (m_up)
        clearUploadFlags();
}

void CommandSet::clearUploadFlags()
{
    bWaitChInfUp = bWaitUpLine = bWaitNg = false;
}
