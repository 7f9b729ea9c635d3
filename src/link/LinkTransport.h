#pragma once

#include "SerialLine.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <chrono>

class clsIniFile;

// What the link sends through and receives from: a local serial port, or a
// connection to a serial device server on the network. The link frames,
// paces and routes the bytes; a transport only carries them and says why it
// cannot.
//
// Opening may take a while (a network connection is made and negotiated in
// the background): what is written meanwhile is kept and goes out once the
// transport is ready, and an open that fails later says so with openFailed.
// A transport that goes away once ready says so with lost.
class LinkTransport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts opening with the line. False when it fails at once; the reason
    // is in error() then.
    virtual bool open(const SerialLine &line) = 0;
    // Open, or still opening.
    virtual bool isOpen() const = 0;
    // Open and carrying data.
    virtual bool isReady() const = 0;
    virtual void close() = 0;
    // Drops what has been received and not read yet.
    virtual void discardInput() = 0;
    // Sends the bytes, or keeps them until the transport is ready. False
    // when the write is refused; the reason is in error().
    virtual bool write(QByteArrayView bytes) = 0;
    // Waits at most `limit` until what was written has left.
    virtual void drain(std::chrono::milliseconds limit) = 0;

    QString error() const { return m_error; }
    // The run's language file, for the reasons; English words without one.
    void setLanguage(const clsIniFile *lang) { m_lang = lang; }

signals:
    // The open that was started has finished: data flows from now on.
    void ready();
    // Data from the controller's line.
    void received(const QByteArray &bytes);
    // The open that was started failed, with the reason.
    void openFailed(const QString &reason);
    // The transport went away while ready, with the reason.
    void lost(const QString &reason);

protected:
    QString m_error;
    const clsIniFile *m_lang = nullptr;
};
