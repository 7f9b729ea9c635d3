#pragma once

#include <QSerialPort>
#include <QString>

// What the serial port is set to: the device and the line parameters. The
// settings put it in place (applyComSettings); the link opens the port with
// it at every send.
struct SerialLine
{
    QString device; // empty: no port chosen yet
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    friend bool operator==(const SerialLine &a, const SerialLine &b)
    {
        return a.device == b.device && a.baud == b.baud && a.parity == b.parity
            && a.dataBits == b.dataBits && a.stopBits == b.stopBits;
    }
};
