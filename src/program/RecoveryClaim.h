#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

class QLockFile;

// The recovery copies left behind by runs that did not end through their
// own code (a crash, a killed process), claimed by this run so that no other
// run offers them at the same time. Sessions still held by a live run are
// left alone. While the claim lasts the caller restores or discards each
// entry; at its end the emptied sessions are removed and the others released
// for a later run.
class RecoveryClaim
{
public:
    struct Entry
    {
        QString file;       // the copy on disk
        QString name;       // the document's file name ("Program3" if never saved)
        QByteArray program; // the program file's bytes
    };

    // Claims the sessions in `folder` (see RecoveryStore) other than
    // `ownSession`. Copies without a readable name line cannot be restored
    // and are removed.
    RecoveryClaim(const QString &folder, const QString &ownSession);
    ~RecoveryClaim();
    RecoveryClaim(const RecoveryClaim &) = delete;
    RecoveryClaim &operator=(const RecoveryClaim &) = delete;

    // In the order of their sessions, then of their document numbers.
    const QList<Entry> &entries() const { return m_entries; }
    // Removes an entry's copy: the document was restored or given up.
    static bool discard(const Entry &entry);

private:
    struct Session
    {
        QString path;
        std::unique_ptr<QLockFile> lock;
    };
    QList<Entry> m_entries;
    std::vector<Session> m_sessions;
};
