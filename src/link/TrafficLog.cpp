#include "TrafficLog.h"

#include "config/TextCodec.h"

QString TrafficLog::visible(const QByteArray &text)
{
    QString out;
    qsizetype from = 0;
    auto flush = [&](qsizetype to) {
        if (to > from)
            out += TextCodec::decode(QByteArrayView(text).sliced(from, to - from));
        from = to + 1;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        const char *name = c == '\x06' ? "[ACK]" : c == '\r' ? "[CR]" : c == '\n' ? "[LF]" : nullptr;
        if (!name)
            continue;
        flush(i);
        out += QLatin1String(name);
    }
    flush(text.size());
    return out;
}

void TrafficLog::putMsg(const QByteArray &text, bool received)
{
    if (bNewLine && !received) {
        bNewLine = false;
        m_lines << QString();
    }
    const QChar mark = received ? u'<' : u'>';
    const QString shown = visible(text);
    if (!m_lines.isEmpty() && m_lines.last().startsWith(mark))
        m_lines.last() += shown;
    else
        m_lines << mark + shown;
}

void TrafficLog::putNote(const QString &text)
{
    if (!m_lines.isEmpty() && !m_lines.last().isEmpty())
        m_lines << QString();
    m_lines << text;
    bNewLine = true;
}

QByteArray TrafficLog::fileBytes(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += TextCodec::encode(line) + "\r\n";
    return bytes;
}
