#include "RecoveryStore.h"

#include "config/AtomicFile.h"
#include "config/PathText.h"
#include "config/TextCodec.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>

namespace {
const QByteArray kNameKey = "NAME=";
}

RecoveryStore::RecoveryStore(const QString &folder) : m_folder(folder) {}

RecoveryStore::~RecoveryStore()
{
    endSession();
}

bool RecoveryStore::startSession(QString *error)
{
    if (isStarted())
        return true;
    const QString name = QStringLiteral("%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QDateTime::currentMSecsSinceEpoch());
    const QString path = QDir(m_folder).filePath(name);
    if (!QDir().mkpath(path)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    auto lock = std::make_unique<QLockFile>(QDir(path).filePath(QLatin1String(kLockName)));
    // Only a lock whose process is gone is stale; a long run keeps its own.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (error)
            *error = QStringLiteral("cannot lock %1").arg(QDir::toNativeSeparators(path));
        QDir(path).removeRecursively();
        return false;
    }
    m_lock = std::move(lock);
    m_session = path;
    m_sessionName = name;
    return true;
}

void RecoveryStore::endSession()
{
    if (!isStarted())
        return;
    m_lock->unlock();
    m_lock.reset();
    QDir(m_session).removeRecursively();
    // The recovery folder itself goes too once no run uses it.
    QDir().rmdir(m_folder);
    m_session.clear();
    m_sessionName.clear();
}

QString RecoveryStore::entryPath(int docNo) const
{
    return QDir(m_session).filePath(QStringLiteral("doc%1%2").arg(docNo).arg(QLatin1String(kSuffix)));
}

bool RecoveryStore::write(int docNo, const QByteArray &bytes, QString *error)
{
    if (!isStarted())
        return false;
    if (AtomicFile::write(entryPath(docNo), bytes, error))
        return true;
    // The session folder may have been removed under the run: made again.
    return QDir().mkpath(m_session) && AtomicFile::write(entryPath(docNo), bytes, error);
}

void RecoveryStore::remove(int docNo)
{
    if (isStarted())
        QFile::remove(entryPath(docNo));
}

QByteArray RecoveryStore::compose(const QString &name, const QByteArray &program)
{
    return kNameKey + TextCodec::encode(PathText::toStored(name)) + "\r\n" + program;
}

bool RecoveryStore::parse(const QByteArray &bytes, QString *name, QByteArray *program)
{
    const qsizetype end = bytes.indexOf("\r\n");
    if (!bytes.startsWith(kNameKey) || end < 0)
        return false;
    *name = PathText::fromStored(TextCodec::decode(bytes.mid(kNameKey.size(), end - kNameKey.size())));
    *program = bytes.mid(end + 2);
    return true;
}
