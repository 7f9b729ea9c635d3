#include "SerialLink.h"

#include "NetworkPort.h"
#include "NetworkTransport.h"
#include "SerialTransport.h"


SerialLink::SerialLink(const SerialLine &line, QObject *parent)
    : QObject(parent), m_line(line)
{
    m_timer.setSingleShot(true);
    m_timerCrLf.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SerialLink::Timer_Timer);
    connect(&m_timerCrLf, &QTimer::timeout, this, &SerialLink::TimerCrLf_Timer);
}

SerialLink::~SerialLink()
{
    // Closed here, while the signal connections are still whole.
    closePort();
}

bool SerialLink::isOpen() const
{
    return m_transport && m_transport->isOpen();
}

bool SerialLink::openPort()
{
    // The kind of transport follows the device; one of the right kind is
    // kept for the next open.
    const bool network = NetworkPort::isNetwork(m_line.device);
    if (!m_transport || network != bool(qobject_cast<NetworkTransport *>(m_transport.get()))) {
        if (network)
            m_transport = std::make_unique<NetworkTransport>();
        else
            m_transport = std::make_unique<SerialTransport>();
        connect(m_transport.get(), &LinkTransport::received, this, &SerialLink::receiveText);
        connect(m_transport.get(), &LinkTransport::ready, this, &SerialLink::onReady);
        connect(m_transport.get(), &LinkTransport::lost, this, &SerialLink::onLost);
        connect(m_transport.get(), &LinkTransport::openFailed, this, &SerialLink::onOpenFailed);
    }
    if (auto *net = qobject_cast<NetworkTransport *>(m_transport.get()))
        net->setTiming(intervals.connect, intervals.settle);
    m_transport->setLanguage(m_lang);
    if (!m_transport->open(m_line)) {
        m_lastError = m_line.device.isEmpty() ? m_transport->error()
                                              : m_line.device + QStringLiteral(": ") + m_transport->error();
        return false;
    }
    m_openLine = m_line;
    return true;
}

void SerialLink::closePort()
{
    m_closePending = false;
    m_replyPending = std::chrono::milliseconds(0);
    if (m_transport && m_transport->isOpen())
        m_transport->close();
}

void SerialLink::drain()
{
    if (isOpen())
        m_transport->drain(intervals.reply);
}

void SerialLink::closeAfterDispatch()
{
    if (m_dispatchDepth > 0)
        m_closePending = true;
    else
        closePort();
}

bool SerialLink::sendText(const QByteArray &text)
{
    m_closePending = false;
    // The same port and line as the last command stay open: a close and
    // reopen at every step of a chain would cost far more than the step
    // (and may toggle the modem lines). Either way, whatever is still
    // waiting from earlier traffic is dropped, also what a device kept
    // queued across a close.
    if (!isOpen() || !(m_openLine == m_line)) {
        closePort();
        if (!openPort())
            return false;
    }
    m_transport->discardInput();
    m_rxBuffer.clear();
    m_lastError.clear();
    if (!m_transport->write(text)) {
        m_lastError = m_line.device + QStringLiteral(": ") + m_transport->error();
        return false;
    }
    emit traffic(text, false);
    return true;
}

void SerialLink::receiveText(const QByteArray &chunk)
{
    emit traffic(chunk, true);
    if (m_dropLf && !chunk.isEmpty()) {
        m_dropLf = false;
        m_rxBuffer += chunk.startsWith('\n') ? chunk.mid(1) : chunk;
    } else {
        m_rxBuffer += chunk;
    }

    ++m_dispatchDepth;
    for (;;) {
        const qsizetype cr = m_rxBuffer.indexOf('\r');
        const qsizetype lf = m_rxBuffer.indexOf('\n');
        const qsizetype crLf = m_rxBuffer.indexOf("\r\n");
        if (m_crLfState == Armed) {
            if (cr < 0 && lf < 0)
                break;
            // Only a CR that ends what has come so far leaves the line end
            // open (its LF may still be on the way): the wait decides it.
            // Anything else tells at once what the wait would.
            const bool crLast = cr >= 0 && (lf < 0 || cr < lf) && cr == m_rxBuffer.size() - 1;
            if (crLast) {
                m_crLfState = Seen;
                setCrLfTimer(true);
                break;
            }
            m_crLfState = TimerDone;
        }
        if (m_crLfState == Seen)
            break;
        if (m_crLfState == TimerDone) {
            m_crLfState = Decided;
            m_eolKind = crLf >= 0 ? CrLf : lf >= 0 ? Lf : Cr;
        }
        const qsizetype at = m_eolKind == CrLf ? crLf : m_eolKind == Lf ? lf : cr;
        if (at < 0)
            break;
        const QByteArray line = m_rxBuffer.left(at);
        // Taken off first: a command sent while the line is handled empties
        // the buffer, and the loop then ends. A controller that ends its
        // lines with CR LF seen as CR (no detection ran) may deliver the LF
        // later, after the next command went out: it is dropped then, never
        // taken for the start of the next reply.
        m_rxBuffer.remove(0, at + (m_eolKind == CrLf ? 2 : 1));
        if (m_eolKind == Cr) {
            if (m_rxBuffer.startsWith('\n'))
                m_rxBuffer.remove(0, 1);
            else
                m_dropLf = m_rxBuffer.isEmpty();
        }
        if (m_route == Route::Upload)
            emit uploadLineReceived(line);
        else
            emit lineReceived(line);
    }
    if (--m_dispatchDepth == 0 && m_closePending)
        closePort();
}

void SerialLink::stopTimers()
{
    m_replyPending = std::chrono::milliseconds(0);
    m_timer.stop();
    m_timerCrLf.stop();
}

void SerialLink::setReplyTimer(bool on)
{
    if (on) {
        setReplyTimer(intervals.reply);
    } else {
        m_replyPending = std::chrono::milliseconds(0);
        m_timer.stop();
    }
}

void SerialLink::setReplyTimer(std::chrono::milliseconds interval)
{
    if (isOpen() && !m_transport->isReady())
        m_replyPending = interval;
    else
        m_timer.start(interval);
}

void SerialLink::setCrLfTimer(bool on)
{
    if (on)
        m_timerCrLf.start(intervals.crLf);
    else
        m_timerCrLf.stop();
}

void SerialLink::onReady()
{
    // The reply timer measures the controller, not the connection.
    if (m_replyPending.count() > 0)
        m_timer.start(std::exchange(m_replyPending, std::chrono::milliseconds(0)));
}

void SerialLink::onLost(const QString &reason)
{
    m_lastError = m_openLine.device + QStringLiteral(": ") + reason;
    const QString text = m_lastError;
    ++m_portLosses;
    closePort();
    emit portLost(text);
}

void SerialLink::onOpenFailed(const QString &reason)
{
    m_lastError = m_openLine.device + QStringLiteral(": ") + reason;
    const QString text = m_lastError;
    closePort();
    m_timer.stop();
    emit openFailed(text);
}

void SerialLink::Timer_Timer()
{
    m_timer.stop();
    emit replyTimedOut();
}

void SerialLink::TimerCrLf_Timer()
{
    m_timerCrLf.stop();
    m_crLfState = TimerDone;
    receiveText(QByteArray());
}
