#include "TransferProgress.h"

#include "config/clsIniFile.h"

namespace {

QString textOf(const clsIniFile &langIni, const char *key, const char *fallback)
{
    const QString text = langIni.GetINIStr(QStringLiteral("dlgDown"), QLatin1String(key));
    return text.isEmpty() ? QString::fromLatin1(fallback) : text;
}

} // namespace

QString TransferProgress::text(const clsIniFile &langIni, int done, int total) const
{
    return text(langIni, done, total, m_clock.isValid() ? m_clock.elapsed() : 0);
}

QString TransferProgress::text(const clsIniFile &langIni, int done, int total, qint64 elapsedMs)
{
    QString out = textOf(langIni, "Mes003", "step %1 of %2").arg(done).arg(total);
    if (done < 1 || elapsedMs < 0)
        return out;
    const qint64 left = done < total ? elapsedMs * (total - done) / done : 0;
    return out + QStringLiteral("  ")
        + textOf(langIni, "Mes004", "%1 elapsed, about %2 left").arg(duration(elapsedMs), duration(left));
}

QString TransferProgress::duration(qint64 ms)
{
    const qint64 seconds = (ms + 500) / 1000;
    const QString mmss = QStringLiteral("%1:%2")
                             .arg((seconds / 60) % 60, seconds >= 3600 ? 2 : 1, 10, QChar(u'0'))
                             .arg(seconds % 60, 2, 10, QChar(u'0'));
    return seconds >= 3600 ? QString::number(seconds / 3600) + u':' + mmss : mmss;
}
