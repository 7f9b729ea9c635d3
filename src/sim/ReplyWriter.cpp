#include "ReplyWriter.h"

#include "Pty.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// How long to wait before retrying when the line takes no more bytes.
constexpr int kLineFullRetryMs = 2;

} // namespace

ReplyWriter::ReplyWriter(Pty &pty, QObject *parent)
    : QObject(parent)
    , m_pty(pty)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReplyWriter::pumpAfterWait);
    m_line.start();
}

void ReplyWriter::setChunking(int size, int gapMs)
{
    m_chunkSize = std::max(0, size);
    m_chunkGapMs = std::max(0, gapMs);
}

void ReplyWriter::send(const QByteArray &bytes, qint64 commandStartNs, qint64 commandBytes, int delayMs)
{
    if (bytes.isEmpty())
        return;
    delayMs = std::max(0, delayMs);
    if (m_chunkSize <= 0 && m_baud > 0) {
        const double byteNs = 1e10 / m_baud;
        const qint64 arrived = commandStartNs < 0 ? nowNs()
                                                  : commandStartNs + qint64(double(commandBytes) * byteNs);
        const qint64 start = std::max(arrived, m_outFreeNs) + qint64(delayMs) * 1'000'000;
        m_outFreeNs = start + qint64(double(bytes.size()) * byteNs);
        m_pieces.append({bytes, 0, m_outFreeNs});
    } else if (m_chunkSize <= 0) {
        m_pieces.append({bytes, delayMs});
    } else {
        for (qsizetype at = 0; at < bytes.size(); at += m_chunkSize)
            m_pieces.append({bytes.mid(at, m_chunkSize), at == 0 ? delayMs : m_chunkGapMs});
    }
    if (!m_timer.isActive())
        pump();
}

void ReplyWriter::clear()
{
    m_pieces.clear();
    m_timer.stop();
    m_clock.invalidate();
    m_outFreeNs = 0;
}

void ReplyWriter::pumpAfterWait()
{
    emit aboutToWrite();
    // A command taken meanwhile may have sent, and started a wait of its own.
    if (!m_timer.isActive())
        pump();
}

void ReplyWriter::pump()
{
    while (!m_pieces.isEmpty()) {
        Piece &piece = m_pieces.first();
        if (piece.gapMs > 0) {
            const int gap = std::exchange(piece.gapMs, 0);
            m_clock.invalidate();
            m_timer.start(gap);
            return;
        }
        if (piece.dueNs >= 0) {
            // Timers wake to the millisecond: the last stretch is waited out
            // here, so the reply is complete when a real line would be.
            const qint64 left = piece.dueNs - nowNs();
            if (left > 2'000'000) {
                m_timer.start(int(left / 1'000'000) - 1);
                return;
            }
            while (nowNs() < piece.dueNs) {
            }
            piece.dueNs = -1;
            continue;
        }
        qint64 count = piece.bytes.size();
        if (m_baud > 0 && m_chunkSize > 0) {
            if (!m_clock.isValid()) {
                m_clock.start();
                m_clockBytes = 0;
            }
            // Byte k of a run leaves k byte times after the first.
            const double byteNs = 1e10 / m_baud;
            const double elapsed = double(m_clock.nsecsElapsed());
            const qint64 due = qint64(elapsed / byteNs) + 1 - m_clockBytes;
            if (due <= 0) {
                const double waitMs = (double(m_clockBytes) * byteNs - elapsed) / 1e6;
                m_timer.start(std::max(1, int(std::ceil(waitMs))));
                return;
            }
            count = std::min(count, due);
        }
        const qint64 written = m_pty.write(piece.bytes.constData(), count);
        if (written < 0) {
            clear();
            return;
        }
        if (written == 0) {
            m_timer.start(kLineFullRetryMs);
            return;
        }
        m_clockBytes += written;
        piece.bytes.remove(0, written);
        if (piece.bytes.isEmpty())
            m_pieces.removeFirst();
    }
    m_clock.invalidate();
}
