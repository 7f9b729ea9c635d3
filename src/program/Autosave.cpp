#include "Autosave.h"

#include "ProgramDocument.h"
#include "ProgramFile.h"

Autosave::Autosave(const Catalogue &catalogue, const QString &folder,
                   std::chrono::milliseconds interval, QObject *parent)
    : QObject(parent), m_catalogue(catalogue), m_store(folder)
{
    if (!m_store.startSession())
        return;
    m_writerContext = new QObject;
    m_writerContext->moveToThread(&m_writer);
    connect(&m_writer, &QThread::finished, m_writerContext, &QObject::deleteLater);
    m_writer.setObjectName(QStringLiteral("autosave"));
    m_writer.start(QThread::LowPriority);

    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &Autosave::saveAll);
    m_timer.start();
}

Autosave::~Autosave()
{
    m_timer.stop();
    if (!m_writerContext)
        return;
    // Queued after every write still pending, so nothing is written once the
    // session is gone.
    QMetaObject::invokeMethod(m_writerContext, [this] { m_store.endSession(); },
                              Qt::BlockingQueuedConnection);
    m_writer.quit();
    m_writer.wait();
}

void Autosave::post(std::function<void()> job)
{
    if (m_writerContext)
        QMetaObject::invokeMethod(m_writerContext, std::move(job), Qt::QueuedConnection);
}

void Autosave::flush()
{
    if (m_writerContext)
        QMetaObject::invokeMethod(m_writerContext, [] {}, Qt::BlockingQueuedConnection);
}

void Autosave::track(ProgramDocument *doc)
{
    if (!isActive() || !doc)
        return;
    const int docNo = doc->docNo();
    m_docs[docNo] = Tracked{doc, {}};
    // Saved: the dirty mark leaves the caption. Looked at once the change
    // is over (a save renames the document, then marks it clean), and only
    // while the document is still tracked.
    connect(
        doc, &ProgramDocument::captionChanged, this,
        [this, doc, docNo] {
            auto it = m_docs.find(docNo);
            if (it != m_docs.end() && it->second.doc == doc && !doc->getDirty()
                && !it->second.written.isEmpty()) {
                it->second.written.clear();
                post([this, docNo] { m_store.remove(docNo); });
            }
        },
        Qt::QueuedConnection);
    connect(doc, &QObject::destroyed, this, [this, doc, docNo] {
        auto it = m_docs.find(docNo);
        if (it != m_docs.end() && it->second.doc == doc)
            drop(docNo);
    });
}

void Autosave::drop(int docNo)
{
    auto it = m_docs.find(docNo);
    if (!it->second.written.isEmpty())
        post([this, docNo] { m_store.remove(docNo); });
    m_docs.erase(it);
}

void Autosave::save(ProgramDocument *doc)
{
    auto it = m_docs.find(doc->docNo());
    if (it == m_docs.end() || it->second.doc != doc || !doc->getDirty())
        return;
    QByteArray bytes = RecoveryStore::compose(
        doc->getFileName(true), ProgramFile::writeProgram(m_catalogue, doc->getAxis(), doc->steps()));
    if (bytes == it->second.written)
        return;
    it->second.written = bytes;
    const int docNo = doc->docNo();
    post([this, docNo, bytes = std::move(bytes)] { m_store.write(docNo, bytes); });
}

void Autosave::saveAll()
{
    for (auto &[docNo, tracked] : m_docs)
        save(tracked.doc);
}
