#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

class Pty;

// Puts the simulated controller's replies onto the line: at once, or paced
// at a baud rate (ten bits per byte, so that timings match a real line),
// optionally split into chunks with a pause between them, as a controller
// with a slow or bursty UART sends them. Bytes the line cannot take now are
// retried shortly after.
class ReplyWriter : public QObject
{
    Q_OBJECT

public:
    explicit ReplyWriter(Pty &pty, QObject *parent = nullptr);

    void setBaud(int baud) { m_baud = baud; }
    void setChunking(int size, int gapMs);

    // Queues one reply behind any still being sent.
    void send(const QByteArray &bytes);
    // Drops what is not sent yet.
    void clear();

private:
    struct Piece
    {
        QByteArray bytes;
        int gapMs = 0; // pause before the piece
    };

    void pump();

    Pty &m_pty;
    int m_baud = 0;
    int m_chunkSize = 0;
    int m_chunkGapMs = 0;
    QList<Piece> m_pieces;
    QTimer m_timer;
    // Pacing: the bytes sent since the clock started at the first byte of
    // an uninterrupted run of sending.
    QElapsedTimer m_clock;
    qint64 m_clockBytes = 0;
};
