#pragma once

#include "LinkTransport.h"

#include <QSerialPort>

// A local serial device (an RS-232 port, a USB serial adapter, a
// pseudo-terminal): opened at once, ready as soon as it is open.
class SerialTransport : public LinkTransport
{
    Q_OBJECT

public:
    explicit SerialTransport(QObject *parent = nullptr);
    ~SerialTransport() override;

    bool open(const SerialLine &line) override;
    bool isOpen() const override { return m_port.isOpen(); }
    bool isReady() const override { return m_port.isOpen(); }
    void close() override;
    void discardInput() override;
    bool write(QByteArrayView bytes) override;
    void drain(std::chrono::milliseconds limit) override;

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_device; // as given: portName() drops the folder
};
