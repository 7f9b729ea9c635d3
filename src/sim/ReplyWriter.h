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
// retried shortly after. A reply can be held back by a pause of its own,
// counted from the end of what goes out before it (or from the command when
// nothing does): a controller slow to answer, or the LF of a CR LF that a
// USB serial adapter delivers in a later packet.
//
// Paced without chunks, a reply is handed over whole at the moment its last
// byte would have arrived on a real line: after the command it answers has
// come in at the same rate, and after the reply before it. The host acts on
// a line only once it is complete, so this keeps the timing of a real line
// to the microsecond, where pacing byte by byte on millisecond timers would
// not.
class ReplyWriter : public QObject
{
    Q_OBJECT

public:
    explicit ReplyWriter(Pty &pty, QObject *parent = nullptr);

    void setBaud(int baud) { m_baud = baud; }
    void setChunking(int size, int gapMs);

    // Queues one reply behind any still being sent, `delayMs` after them.
    // `commandStartNs` (on nowNs()) is when the first byte of the command it
    // answers was read, `commandBytes` how many bytes that command took on
    // the line.
    void send(const QByteArray &bytes, qint64 commandStartNs = -1, qint64 commandBytes = 0,
              int delayMs = 0);
    // The time base of commandStartNs.
    qint64 nowNs() const { return m_line.nsecsElapsed(); }
    // Drops what is not sent yet: for a line that is gone. A new command
    // does not stop a reply; the controller goes on sending it.
    void clear();

signals:
    // Emitted before queued bytes go out after a wait, so that a command
    // that came in during the wait is taken before them, as on a real line.
    void aboutToWrite();

private:
    struct Piece
    {
        QByteArray bytes;
        int gapMs = 0;      // pause before the piece
        qint64 dueNs = -1;  // paced whole: when it is handed over
    };

    void pumpAfterWait();
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
    // Paced whole replies: the line's time base and when it is free again.
    QElapsedTimer m_line;
    qint64 m_outFreeNs = 0;
};
