#include "CommandSet.h"

#include "Channel.h"
#include "LineValues.h"
#include "NetworkPort.h"
#include "PortProblem.h"
#include "SerialLink.h"
#include "TrafficLog.h"
#include "program/ProgramDocument.h"
#include "config/Messages.h"
#include "config/TextCodec.h"

CommandSet::CommandSet(SerialLink &link, Messages &messages, QObject *parent)
    : QObject(parent), m_link(link), m_messages(messages)
{
    connect(&link, &SerialLink::lineReceived, this, &CommandSet::dispatchReply);
    connect(&link, &SerialLink::uploadLineReceived, this, &CommandSet::dispatchUploadReply);
    connect(&link, &SerialLink::replyTimedOut, this, &CommandSet::onReplyTimeout);
    connect(&link, &SerialLink::portLost, this, &CommandSet::onPortLost);
    connect(&link, &SerialLink::openFailed, this, &CommandSet::onOpenFailed);
}

void CommandSet::attach(WaitView *wait, DownView *down, ExeView *exe, UpView *up, StepSource *steps)
{
    m_wait = wait;
    m_down = down;
    m_exe = exe;
    m_up = up;
    m_steps = steps;
}

void CommandSet::detach()
{
    attach(nullptr, nullptr, nullptr, nullptr, nullptr);
}

bool CommandSet::runControlMode() const
{
    return m_exe && (m_exe->startMode() || m_exe->stopMode());
}

void CommandSet::send(const QByteArray &command, Awaiting awaited)
{
    m_awaiting = awaited;
    m_lastCommand = command;
    emit commandSent(command);
    const int lostBefore = m_link.portLosses();
    if (m_link.sendText(command + "\r\n")) {
        if (awaited != Awaiting::Nothing) {
            // The controller writes its non-volatile memory before it
            // answers PGWRT: that answer may take far longer than others.
            m_link.setReplyTimer(awaited == Awaiting::PgWrt ? m_link.intervals.programWrite
                                                            : m_link.intervals.reply);
        }
        return;
    }
    // A port lost in the write has already ended the exchange and said so.
    if (m_link.portLosses() != lostBefore)
        return;
    onOpenFailed(m_link.lastError());
}

void CommandSet::onOpenFailed(const QString &reason)
{
    // A port that cannot be opened (adapter unplugged, device in use, a
    // server that cannot be reached) ends the exchange at once with its
    // reason: waiting out the reply time-out would only blame the
    // controller.
    emit portFailed(reason);
    abandonExchange();
    showWithReason("Mes070", reason);
}

// ---- senders ---------------------------------------------------------------

void CommandSet::resetLink()
{
    m_channel = 0;
    send("?:", Awaiting::Reset);
}

void CommandSet::startCommCheck()
{
    m_channel = 0;
    send("?:", Awaiting::CommCheck);
}

void CommandSet::reqChInfDown(int ch)
{
    if (m_down) {
        m_down->dispChInf(QString());
        m_down->comWait(true, ChannelInfoMode);
    }
    m_channel = ch;
    send(Channel::command("CHINF:", ch), Awaiting::ChInfDown);
}

void CommandSet::reqChInfExe(int ch)
{
    if (m_exe) {
        m_exe->dispChInf(QString());
        m_exe->comWait(true);
    }
    m_channel = ch;
    send(Channel::command("CHINF:", ch), Awaiting::ChInfExe);
}

void CommandSet::reqChInfUp(int ch)
{
    if (m_up)
        m_up->DispStatus(QString());
    m_channel = ch;
    send(Channel::command("CHINF:", ch), Awaiting::ChInfUp);
}

void CommandSet::reqLoad(int ch)
{
    if (runControlMode())
        m_exe->comWait(true);
    else if (m_down)
        m_down->comWait(true, DownloadMode);
    // LOAD:99 is run control's: the channel is the one to start or stop.
    m_channel = ch == Channel::kRunControl && m_exe ? m_exe->selectedChannel() : ch;
    send(Channel::command("LOAD:", ch), Awaiting::Load);
}

void CommandSet::sendStep(int n)
{
    m_sendStepNo = n;
    if (m_down)
        m_down->comWait(true, DownloadMode);
    send(m_steps ? TextCodec::encode(m_steps->getSendStep(n)) : QByteArray(), Awaiting::Step);
}

void CommandSet::sendPgWrite()
{
    if (m_down)
        m_down->comWait(true, DownloadMode);
    send("PGWRT:", Awaiting::PgWrt);
}

void CommandSet::sendRemote()
{
    if (m_down)
        m_down->comWait(true, DownloadMode);
    send("REMOTE:", Awaiting::Remote);
}

void CommandSet::sendRun(int ch)
{
    send(Channel::command("Z:", ch), Awaiting::Nothing);
}

void CommandSet::sendStop()
{
    send("U07:", Awaiting::Nothing);
}

void CommandSet::reqUpload(int ch)
{
    m_channel = ch;
    send(Channel::command("UPLOAD:", ch), Awaiting::UpLine);
}

void CommandSet::sendUploadAck()
{
    send(QByteArray(), Awaiting::UpLine);
}

void CommandSet::sendUploadNg()
{
    // Its answer is awaited like any other, so that a controller that
    // never answers cannot leave the upload waiting for good.
    send("NG:", Awaiting::Ng);
}

// ---- replies ---------------------------------------------------------------

int CommandSet::errorMessageOf(const QByteArray &line)
{
    if (line.isEmpty() || line.at(0) != kErrorMark || line.size() > 2)
        return -1;
    if (line.size() == 1)
        return UnknownErrorMessage;
    const char code = line.at(1);
    // "!0" .. "!8" have messages of their own, in order; any other code
    // shares the message of an unknown error.
    return code >= '0' && code <= kLastErrorCode ? FirstErrorMessage + (code - '0') : UnknownErrorMessage;
}

bool CommandSet::checkErrorReply(const QByteArray &line)
{
    const int message = errorMessageOf(line);
    if (message < 0)
        return false;
    emit errorReplied(line, message);
    // The message table's text, then where, and the controller's own code.
    m_link.closeIfPending();
    m_messages.show(Messages::entry(message).kind, MsgButtons::Ok,
                    m_messages.messageText(message) + QStringLiteral("\n\n")
                        + located(m_where, m_messages.keyText(QStringLiteral("Mes081"))
                                               .arg(TrafficLog::visible(line))));
    return true;
}

void CommandSet::showMessage(int no)
{
    m_link.closeIfPending();
    m_messages.showMessage(no);
}

void CommandSet::showWithCount(const QString &text, int steps)
{
    m_link.closeIfPending();
    m_messages.show(MsgKind::Information, MsgButtons::Ok,
                    text + QStringLiteral("\n\n")
                        + m_messages.keyText(QStringLiteral("Mes084")).arg(Channel::text(m_channel)).arg(steps));
}

void CommandSet::showKey(const char *key)
{
    m_link.closeIfPending();
    m_messages.showKey(QLatin1String(key), MsgKind::Information);
}

void CommandSet::showWithReason(const char *key, const QString &reason)
{
    m_link.closeIfPending();
    const QString text = m_messages.keyText(QLatin1String(key));
    m_messages.show(MsgKind::Error, MsgButtons::Ok,
                    text.contains(QLatin1String("%1")) ? text.arg(reason) : text + u'\n' + reason);
}

QString CommandSet::located(const QString &where, const QString &what)
{
    return where.isEmpty() ? what : where + QStringLiteral(": ") + what;
}

QString CommandSet::where() const
{
    if (!Channel::isValid(m_channel))
        return QString();
    if (m_awaiting == Awaiting::Step)
        return m_messages.keyText(QStringLiteral("Mes083"))
            .arg(Channel::text(m_channel), ProgramDocument::stepLabel(m_sendStepNo));
    return m_messages.keyText(QStringLiteral("Mes082")).arg(Channel::text(m_channel));
}

void CommandSet::dispatchReply(const QByteArray &line)
{
    // Where the answer belongs, before its handler ends the exchange.
    m_where = where();
    switch (m_awaiting) {
    case Awaiting::Nothing:
        // Nothing awaited: only an error reply has something to say.
        checkErrorReply(line);
        return;
    case Awaiting::Reset: return onResetReply(line);
    case Awaiting::CommCheck: return onCommCheckReply(line);
    case Awaiting::CommCheckChInf: return onCommCheckChInfReply(line);
    case Awaiting::ChInfDown: return onChInfDownReply(line);
    case Awaiting::ChInfExe: return onChInfExeReply(line);
    case Awaiting::Load: return onLoadReply(line);
    case Awaiting::Step: return onStepReply(line);
    case Awaiting::PgWrt: return onPgWrtReply(line);
    case Awaiting::Remote: return onRemoteReply(line);
    case Awaiting::ChInfUp: return onChInfUpReply(line);
    case Awaiting::UpLine: return onUpLineReply(line);
    case Awaiting::Ng: return onNgReply(line);
    }
}

void CommandSet::dispatchUploadReply(const QByteArray &line)
{
    // While an upload is open, a line that nothing awaits is ignored.
    if (m_awaiting != Awaiting::Nothing)
        dispatchReply(line);
}

void CommandSet::onResetReply(const QByteArray &)
{
    // Whatever the controller answered is of no interest: the reset only
    // makes sure that the answer has arrived before the next command.
    endExchange();
    emit resetDone();
}

void CommandSet::onCommCheckReply(const QByteArray &line)
{
    endExchange();
    if (checkErrorReply(line)) {
        if (m_wait)
            m_wait->closeWait();
        return;
    }
    m_channel = 1;
    send(Channel::command("CHINF:", 1), Awaiting::CommCheckChInf);
}

void CommandSet::onCommCheckChInfReply(const QByteArray &line)
{
    endExchange();
    if (!checkErrorReply(line)) {
        emit commCheckPassed();
        // Which port and line settings answered; a raw TCP server keeps the
        // line settings itself.
        m_link.closeIfPending();
        const std::optional<NetworkPort> network = NetworkPort::parse(m_link.line().device);
        const QString settings = network && network->protocol == NetworkPort::Protocol::Raw
            ? PortProblem::network(PortProblem::Network::ServerLine, QString(), m_link.language())
            : LineValues::text(m_link.line());
        m_messages.show(MsgKind::Information, MsgButtons::Ok,
                        m_messages.keyText(QStringLiteral("Mes000")) + QStringLiteral("\n\n")
                            + m_messages.keyText(QStringLiteral("Mes086"))
                                  .arg(m_link.line().device, settings));
    }
    if (m_wait)
        m_wait->closeWait();
}

void CommandSet::onChInfDownReply(const QByteArray &line)
{
    endExchange();
    if (!checkErrorReply(line) && m_down)
        m_down->dispChInf(TextCodec::decode(line));
    if (m_down)
        m_down->comWait(false, ChannelInfoMode);
}

void CommandSet::onChInfExeReply(const QByteArray &line)
{
    endExchange();
    if (!checkErrorReply(line) && m_exe)
        m_exe->dispChInf(TextCodec::decode(line));
    if (m_exe)
        m_exe->comWait(false);
}

void CommandSet::onStepReply(const QByteArray &line)
{
    endExchange();
    if (checkErrorReply(line)) {
        if (m_down)
            m_down->comWait(false, DownloadMode);
        return;
    }
    if (m_down)
        m_down->setProgressbar(m_sendStepNo);
    // The step count is read again after every answered step.
    if (m_steps && m_sendStepNo < m_steps->getStep())
        sendStep(m_sendStepNo + 1);
    else
        sendPgWrite();
}

void CommandSet::onLoadReply(const QByteArray &line)
{
    endExchange();
    if (!runControlMode()) {
        // A download.
        if (checkErrorReply(line)) {
            if (m_down)
                m_down->comWait(false, DownloadMode);
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
    if (m_exe && m_exe->stopMode()) {
        sendStop();
        m_exe->comWait(false);
    }
}

void CommandSet::onPgWrtReply(const QByteArray &line)
{
    endExchange();
    if (checkErrorReply(line)) {
        if (m_down)
            m_down->comWait(false, DownloadMode);
        return;
    }
    sendRemote();
}

void CommandSet::onRemoteReply(const QByteArray &line)
{
    endExchange();
    if (!checkErrorReply(line)) {
        emit downloadCompleted();
        showWithCount(m_messages.messageText(DownloadCompleteMessage), m_steps ? m_steps->getStep() : 0);
    }
    if (m_down)
        m_down->comWait(false, DownloadMode);
}

int CommandSet::classifyUploadLine(const QByteArray &line)
{
    if (line.isEmpty())
        return 0;
    return QByteArrayView("ABCDHMPRSUW#").contains(line.at(0)) ? 1 : -1;
}

void CommandSet::onChInfUpReply(const QByteArray &line)
{
    endExchange();
    const bool error = checkErrorReply(line);
    if (m_up) {
        if (!error)
            m_up->DispStatus(TextCodec::decode(line));
        m_up->SetEnabled(false);
    }
}

void CommandSet::onUpLineReply(const QByteArray &line)
{
    // A line that is neither a step nor an error reply (a garbled line) is
    // refused as an unreadable step is, never taken for the end.
    const int kind = classifyUploadLine(line);
    switch (kind < 0 && errorMessageOf(line) < 0 ? 1 : kind) {
    case 1: {
        const int lineNo = m_up ? m_up->linesTaken() + 1 : 1;
        const bool taken = m_up && m_up->bTakeUploadLine(line);
        endExchange();
        if (taken) {
            m_up->Plus1Progress();
            sendUploadAck();
            return;
        }
        sendUploadNg();
        // The box names the line that could not be read.
        m_link.closeIfPending();
        m_messages.show(MsgKind::Information, MsgButtons::Ok,
                        m_messages.keyText(QStringLiteral("Mes001")) + u'\n'
                            + m_messages.keyText(QStringLiteral("Mes071"))
                                  .arg(QString::number(lineNo), TrafficLog::visible(line)));
        return;
    }
    case 0:
        endExchange();
        // A channel that holds nothing answers the upload with its end at
        // once: there is no program to open.
        if (m_up && m_up->linesTaken() == 0) {
            showKey("Mes072");
        } else {
            showWithCount(m_messages.keyText(QStringLiteral("Mes021")), m_up ? m_up->linesTaken() : 0);
        }
        if (m_up)
            m_up->uploadFinished();
        return;
    default:
        endExchange();
        // An error reply says why the controller would not upload.
        checkErrorReply(line);
        if (m_up)
            m_up->SetEnabled(false);
        return;
    }
}

void CommandSet::onNgReply(const QByteArray &)
{
    endExchange();
    if (m_up)
        m_up->SetEnabled(false);
}

void CommandSet::abandonExchange()
{
    switch (m_awaiting) {
    case Awaiting::CommCheck:
    case Awaiting::CommCheckChInf:
        m_awaiting = Awaiting::Nothing;
        if (m_wait)
            m_wait->closeWait();
        break;
    case Awaiting::ChInfDown:
        m_awaiting = Awaiting::Nothing;
        if (m_down) {
            m_down->dispChInf(QString());
            m_down->comWait(false, ChannelInfoMode);
        }
        break;
    case Awaiting::ChInfExe:
        m_awaiting = Awaiting::Nothing;
        if (m_exe) {
            m_exe->dispChInf(QString());
            m_exe->comWait(false);
        }
        break;
    case Awaiting::Load:
    case Awaiting::Remote:
        m_awaiting = Awaiting::Nothing;
        if (runControlMode())
            m_exe->comWait(false);
        else if (m_down)
            m_down->comWait(false, DownloadMode);
        break;
    case Awaiting::PgWrt:
    case Awaiting::Step:
        m_awaiting = Awaiting::Nothing;
        if (m_down)
            m_down->comWait(false, DownloadMode);
        break;
    case Awaiting::Nothing:
    case Awaiting::Reset:
        if (runControlMode())
            m_exe->comWait(false); // a run or stop command that could not go out
        break;
    case Awaiting::ChInfUp:
    case Awaiting::UpLine:
    case Awaiting::Ng:
        endExchange();
        if (m_up)
            m_up->SetEnabled(false);
        return;
    }
    endExchange();
}

void CommandSet::onReplyTimeout()
{
    const Awaiting was = m_awaiting;
    const QString at = where();
    // Told first, unlocked next; the message comes last, so that an answer
    // arriving while it is shown finds no exchange open.
    emit timedOut(m_lastCommand);
    abandonExchange();
    // A refused line or a stop has already been reported: the silence after
    // its NG ends the upload without a second message.
    if (was != Awaiting::Ng) {
        m_link.closeIfPending();
        m_messages.show(Messages::entry(NoAnswerMessage).kind, MsgButtons::Ok,
                        m_messages.messageText(NoAnswerMessage) + QStringLiteral("\n\n")
                            + located(at, m_messages.keyText(QStringLiteral("Mes085"))
                                              .arg(TrafficLog::visible(m_lastCommand))));
    }
}

void CommandSet::onPortLost(const QString &reason)
{
    const bool wasWaiting = waiting();
    emit portFailed(reason);
    abandonExchange();
    if (wasWaiting)
        showWithReason("Mes055", reason);
}

void CommandSet::endExchange()
{
    m_link.closeAfterDispatch();
    m_link.setReplyTimer(false);
    m_awaiting = Awaiting::Nothing;
    emit exchangeEnded();
}
