#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The log of the traffic on the line, as the download dialog shows it and
// velomat-cli writes it: one line per direction of an exchange, ">" before
// what was sent and "<" before what came back, a chunked answer growing on
// its line, ACK, CR and LF shown by name, and an empty line between one
// ended exchange and the next.
class TrafficLog
{
public:
    // Adds a text sent (received = false) or received.
    void putMsg(const QByteArray &text, bool received);
    // The next sent text starts after an empty line (an exchange ended).
    bool bNewLine = false;

    const QStringList &lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

    // Adds a line of its own that is not traffic (what an exchange
    // achieved), after an empty line.
    void putNote(const QString &text);

    // The text with ACK, CR and LF by name; the rest as code page 932.
    static QString visible(const QByteArray &text);
    // Lines as a log file holds them: code page 932, CR LF after each.
    static QByteArray fileBytes(const QStringList &lines);

private:
    QStringList m_lines;
};
