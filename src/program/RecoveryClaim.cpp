#include "RecoveryClaim.h"

#include "RecoveryStore.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QLockFile>

#include <algorithm>

namespace {

QStringList copiesIn(const QString &session)
{
    QStringList names = QDir(session).entryList({u'*' + QLatin1String(RecoveryStore::kSuffix)},
                                                QDir::Files);
    // doc2 before doc10.
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(names.begin(), names.end(), numeric);
    return names;
}

} // namespace

RecoveryClaim::RecoveryClaim(const QString &folder, const QString &ownSession)
{
    QStringList sessions = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : sessions) {
        if (name == ownSession)
            continue;
        Session session{QDir(folder).filePath(name),
                        std::make_unique<QLockFile>(QDir(folder).filePath(
                            name + u'/' + QLatin1String(RecoveryStore::kLockName)))};
        // Held by a live run: its lock is not stale however old it is.
        session.lock->setStaleLockTime(0);
        if (!session.lock->tryLock(0))
            continue;
        for (const QString &copy : copiesIn(session.path)) {
            const QString path = QDir(session.path).filePath(copy);
            QFile file(path);
            Entry entry{path, {}, {}};
            if (!file.open(QIODevice::ReadOnly)
                || !RecoveryStore::parse(file.readAll(), &entry.name, &entry.program)) {
                QFile::remove(path);
                continue;
            }
            m_entries << entry;
        }
        m_sessions.push_back(std::move(session));
    }
}

RecoveryClaim::~RecoveryClaim()
{
    for (Session &s : m_sessions) {
        s.lock->unlock();
        if (copiesIn(s.path).isEmpty())
            QDir(s.path).removeRecursively();
    }
}

bool RecoveryClaim::discard(const Entry &entry)
{
    return QFile::remove(entry.file);
}
