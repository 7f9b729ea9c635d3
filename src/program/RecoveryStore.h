#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QLockFile;

// The recovery copies of one run's modified documents, so that a run that
// crashes or is killed loses at most one autosave interval of work.
//
// Each run has a session folder of its own in the recovery folder (named by
// process id and start time) with a lock file that it holds while it runs;
// another run tells a session whose lock is no longer held (its process is
// gone) from a live one, so two editors sharing a settings folder never take
// each other's copies. A document's copy is "doc<N>.rcv" (N its document
// number): a first line "NAME=<its file name>" (PathText), then the program
// exactly as the program file holds it (the header gives the axis count),
// code page 932, CR LF. Copies are written atomically.
//
// Not thread-bound: once the session is started, writes and removals may run
// on another thread, one at a time.
class RecoveryStore
{
public:
    static constexpr const char *kFolderName = "recovery";
    static constexpr const char *kLockName = "session.lock";
    static constexpr const char *kSuffix = ".rcv";

    // A store in `folder` (the recovery folder, created when needed).
    explicit RecoveryStore(const QString &folder);
    // Ends the session.
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore &) = delete;
    RecoveryStore &operator=(const RecoveryStore &) = delete;

    // Creates the session folder and takes its lock. False with the reason
    // in *error when the folder cannot be written: the run then keeps no
    // copies.
    bool startSession(QString *error = nullptr);
    bool isStarted() const { return !m_session.isEmpty(); }
    // Removes the session folder with every copy in it and its lock: the run
    // ended through its own code, with every document saved or given up.
    void endSession();
    QString folder() const { return m_folder; }
    // The session folder's name ("" before the session starts).
    QString sessionName() const { return m_sessionName; }

    // Writes (replaces) a document's copy; `bytes` as compose() makes them.
    bool write(int docNo, const QByteArray &bytes, QString *error = nullptr);
    // Removes a document's copy, when there is one.
    void remove(int docNo);
    QString entryPath(int docNo) const;

    // A copy's content: the name line, then the program file's bytes.
    static QByteArray compose(const QString &name, const QByteArray &program);
    // Splits a copy; false when it has no name line.
    static bool parse(const QByteArray &bytes, QString *name, QByteArray *program);

private:
    QString m_folder;
    QString m_session;     // session folder path
    QString m_sessionName;
    std::unique_ptr<QLockFile> m_lock;
};
