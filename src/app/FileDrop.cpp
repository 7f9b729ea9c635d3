#include "FileDrop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace {
// The local files a drag carries (a file manager's text/uri-list).
QStringList localFiles(const QMimeData *mime)
{
    QStringList files;
    if (mime && mime->hasUrls()) {
        for (const QUrl &url : mime->urls()) {
            if (url.isLocalFile())
                files << url.toLocalFile();
        }
    }
    return files;
}
}

FileDrop::FileDrop(QWidget *target, std::function<void(const QString &)> open)
    : QObject(target), m_open(std::move(open))
{
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool FileDrop::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    const QStringList files = localFiles(drop->mimeData());
    if (files.isEmpty()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    // The file manager waits until the drop is over: the files are opened
    // (and refusals reported) after it.
    if (type == QEvent::Drop) {
        QTimer::singleShot(0, this, [this, files] {
            for (const QString &path : files)
                m_open(path);
        });
    }
    return true;
}
