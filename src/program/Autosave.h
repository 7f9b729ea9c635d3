#pragma once

#include "RecoveryStore.h"

#include <QByteArray>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <functional>
#include <map>

class Catalogue;
class ProgramDocument;

// Keeps a recovery copy of every modified document of the run (see
// RecoveryStore). Every interval each tracked document that is modified and
// has changed since its last copy is written again; a document that becomes
// unmodified (it was saved) or goes away (its window was closed) loses its
// copy, and when the run ends normally the whole session goes.
//
// The window's thread only composes the bytes; the files are written on a
// thread of their own, in the order asked, so that a slow disk never stalls
// the window.
class Autosave : public QObject
{
    Q_OBJECT

public:
    // Starts a session in the recovery folder `folder`. A folder that cannot
    // be written leaves the autosave inactive (nothing is kept).
    Autosave(const Catalogue &catalogue, const QString &folder, std::chrono::milliseconds interval,
             QObject *parent = nullptr);
    // Finishes the writes asked for, then removes the session.
    ~Autosave() override;

    bool isActive() const { return m_store.isStarted(); }
    // The session folder's name, which a recovery claim skips.
    QString sessionName() const { return m_store.sessionName(); }
    QString entryPath(int docNo) const { return m_store.entryPath(docNo); }

    // Watches a document from now on.
    void track(ProgramDocument *doc);
    // Writes the document's copy now when it is modified and has changed
    // since its last copy.
    void save(ProgramDocument *doc);
    // save() for every tracked document: what the timer does.
    void saveAll();
    // Waits until every write and removal asked for so far is done.
    void flush();

private:
    struct Tracked
    {
        ProgramDocument *doc;
        QByteArray written; // the last copy asked for; empty: none on disk
    };

    void post(std::function<void()> job);
    void drop(int docNo);

    const Catalogue &m_catalogue;
    RecoveryStore m_store; // used only on the writer thread once that runs
    QThread m_writer;
    QObject *m_writerContext = nullptr; // lives in m_writer
    QTimer m_timer;
    std::map<int, Tracked> m_docs; // by document number
};
