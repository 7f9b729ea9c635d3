#include "SerialTransport.h"

#include "DirectWrite.h"
#include "PortProblem.h"

SerialTransport::SerialTransport(QObject *parent) : LinkTransport(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialTransport::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialTransport::onError);
}

SerialTransport::~SerialTransport()
{
    // Closed here, while the signal connections are still whole.
    close();
}

bool SerialTransport::open(const SerialLine &line)
{
    m_device = line.device;
    m_port.setPortName(line.device);
    m_port.setBaudRate(line.baud);
    m_port.setParity(line.parity);
    m_port.setDataBits(line.dataBits);
    m_port.setStopBits(line.stopBits);
    if (line.device.isEmpty()) {
        m_error = PortProblem::noPort(m_lang);
        return false;
    }
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = PortProblem::diagnose(line.device, m_port.error(), m_port.errorString(), m_lang);
        m_port.clearError();
        return false;
    }
    return true;
}

void SerialTransport::close()
{
    if (m_port.isOpen())
        m_port.close();
}

void SerialTransport::discardInput()
{
    if (m_port.bytesAvailable() > 0)
        m_port.readAll();
    m_port.clear(QSerialPort::Input);
}

bool SerialTransport::write(QByteArrayView bytes)
{
    // Straight to the device; what it does not take at once (or a write it
    // refuses) goes through the port's buffer, written out by the flush.
    const qint64 direct = qMax<qint64>(DirectWrite::write(m_port, bytes), 0);
    if (direct < bytes.size()) {
        const QByteArrayView rest = bytes.sliced(direct);
        if (m_port.write(rest.data(), rest.size()) != rest.size()) {
            m_error = m_port.errorString();
            return false;
        }
        m_port.flush();
    }
    return true;
}

void SerialTransport::drain(std::chrono::milliseconds limit)
{
    if (m_port.isOpen() && m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(int(limit.count()));
}

void SerialTransport::onReadyRead()
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
        emit received(m_port.read(waiting));
    }
}

void SerialTransport::onError(QSerialPort::SerialPortError error)
{
    // A device that goes away while open (a USB adapter pulled out) reports
    // a resource error, or a read or write error when it fails the next
    // transfer; either way the port is useless from then on, and left open
    // it would report the same error again at every turn of the event loop.
    const bool gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError;
    if (!gone || !m_port.isOpen())
        return;
    m_error = PortProblem::lost(m_device, m_port.errorString(), m_lang);
    close();
    m_port.clearError();
    emit lost(m_error);
}
