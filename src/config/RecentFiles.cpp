#include "RecentFiles.h"

#include "AtomicFile.h"
#include "PathText.h"
#include "TextCodec.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace {
const QString kSection = QStringLiteral("[Recent]");
}

bool RecentFiles::samePath(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    return QDir::cleanPath(QDir::fromNativeSeparators(a))
               .compare(QDir::cleanPath(QDir::fromNativeSeparators(b)), cs) == 0;
}

void RecentFiles::load()
{
    m_files.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString text = TextCodec::decode(file.readAll());
    // "FileN=path" lines of any section, ordered by N.
    static const QRegularExpression entry(QStringLiteral("^\\s*File(\\d+)\\s*=(.*)$"),
                                          QRegularExpression::CaseInsensitiveOption);
    std::map<int, QString> numbered;
    // Split by hand: on a stray byte's escape (a lone surrogate) a regular
    // expression matches nothing, and the whole list would be lost; a line
    // holding one is skipped by the entry match alone.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    for (const QString &line : lines.split(u'\n')) {
        const QRegularExpressionMatch m = entry.match(line);
        bool ok = false;
        const int n = m.captured(1).toInt(&ok);
        if (m.hasMatch() && ok && !numbered.count(n))
            numbered[n] = PathText::fromStored(m.captured(2).trimmed());
    }
    for (const auto &numberedPath : numbered) {
        const QString &path = numberedPath.second;
        if (m_files.size() == kMaxFiles)
            break;
        const bool known = std::any_of(m_files.cbegin(), m_files.cend(),
                                       [&](const QString &f) { return samePath(f, path); });
        if (!path.isEmpty() && !known)
            m_files << path;
    }
}

bool RecentFiles::save(QString *error) const
{
    QString text = kSection + QStringLiteral("\r\n");
    for (int i = 0; i < m_files.size(); ++i)
        text += QStringLiteral("File%1=%2\r\n").arg(i + 1).arg(PathText::toStored(m_files.at(i)));
    return AtomicFile::write(m_path, TextCodec::encode(text), error);
}

void RecentFiles::add(const QString &path)
{
    if (path.isEmpty())
        return;
    remove(path);
    m_files.prepend(path);
    while (m_files.size() > kMaxFiles)
        m_files.removeLast();
}

bool RecentFiles::remove(const QString &path)
{
    return m_files.removeIf([&](const QString &f) { return samePath(f, path); }) > 0;
}
