#include "SerialLink.h"

#include "DirectWrite.h"
#include "PortProblem.h"


SerialLink::SerialLink(const SerialLine &line, QObject *parent)
    : QObject(parent), m_line(line)
{
    m_timer.setSingleShot(true);
    m_timerCrLf.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SerialLink::Timer_Timer);
    connect(&m_timerCrLf, &QTimer::timeout, this, &SerialLink::TimerCrLf_Timer);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLink::onPortError);
}

SerialLink::~SerialLink()
{
    // Closed here, while the signal connections are still whole.
    closePort();
}

bool SerialLink::openPort()
{
    m_port.setPortName(m_line.device);
    m_port.setBaudRate(m_line.baud);
    m_port.setParity(m_line.parity);
    m_port.setDataBits(m_line.dataBits);
    m_port.setStopBits(m_line.stopBits);
    if (m_line.device.isEmpty()) {
        m_lastError = PortProblem::noPort(m_lang);
        return false;
    }
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_lastError = m_line.device + QStringLiteral(": ")
            + PortProblem::diagnose(m_line.device, m_port.error(), m_port.errorString(), m_lang);
        m_port.clearError();
        return false;
    }
    m_openLine = m_line;
    return true;
}

void SerialLink::closePort()
{
    m_closePending = false;
    if (m_port.isOpen())
        m_port.close();
}

void SerialLink::drain()
{
    if (m_port.isOpen() && m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(int(intervals.reply.count()));
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
    if (!m_port.isOpen() || !(m_openLine == m_line)) {
        closePort();
        if (!openPort())
            return false;
    }
    if (m_port.bytesAvailable() > 0)
        m_port.readAll();
    m_port.clear(QSerialPort::Input);
    m_rxBuffer.clear();
    m_lastError.clear();
    // Straight to the device; what it does not take at once (or a write it
    // refuses) goes through the port's buffer, written out by the flush.
    const qint64 direct = qMax<qint64>(DirectWrite::write(m_port, text), 0);
    if (direct < text.size()) {
        const QByteArrayView rest = QByteArrayView(text).sliced(direct);
        if (m_port.write(rest.data(), rest.size()) != rest.size()) {
            m_lastError = m_line.device + QStringLiteral(": ") + m_port.errorString();
            return false;
        }
        m_port.flush();
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
    m_timer.stop();
    m_timerCrLf.stop();
}

void SerialLink::setReplyTimer(bool on)
{
    if (on)
        m_timer.start(intervals.reply);
    else
        m_timer.stop();
}

void SerialLink::setReplyTimer(std::chrono::milliseconds interval)
{
    m_timer.start(interval);
}

void SerialLink::setCrLfTimer(bool on)
{
    if (on)
        m_timerCrLf.start(intervals.crLf);
    else
        m_timerCrLf.stop();
}

void SerialLink::onReadyRead()
{
    // The port does not signal again while this handler runs, and a line
    // handler may keep it running for long (a message box waits for the
    // user): what arrived meanwhile is read before returning, or it would
    // lie unread until the next byte came.
    // Read by the count waiting: readAll() would take a buffer of the
    // port's whole read chunk for every reply of a few bytes.
    while (m_port.isOpen()) {
        const qint64 waiting = m_port.bytesAvailable();
        if (waiting <= 0)
            break;
        receiveText(m_port.read(waiting));
    }
}

void SerialLink::onPortError(QSerialPort::SerialPortError error)
{
    // A device that goes away while open (a USB adapter pulled out) reports
    // a resource error, or a read or write error when it fails the next
    // transfer; either way the port is useless from then on, and left open
    // it would report the same error again at every turn of the event loop.
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError;
    if (!lost || !m_port.isOpen())
        return;
    m_lastError = m_openLine.device + QStringLiteral(": ")
        + PortProblem::lost(m_openLine.device, m_port.errorString(), m_lang);
    const QString reason = m_lastError;
    ++m_portLosses;
    closePort();
    m_port.clearError();
    emit portLost(reason);
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
