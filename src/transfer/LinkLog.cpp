#include "LinkLog.h"

#include "config/AtomicFile.h"
#include "config/clsIniFile.h"
#include "link/TrafficLog.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

namespace {

QString section() { return QStringLiteral("LinkLog"); }

} // namespace

LinkLog::LinkLog(const clsIniFile &langIni, QWidget *parent)
    : QListWidget(parent), m_langIni(langIni)
{
    setFocusPolicy(Qt::ClickFocus);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    QPalette face = palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    setPalette(face);
    setMinimumSize(fontMetrics().averageCharWidth() * 48, fontMetrics().height() * 8);
}

void LinkLog::showLog(const TrafficLog &log)
{
    const QStringList &lines = log.lines();
    if (lines.size() < count())
        clear();
    for (int row = qMax(0, int(count()) - 1); row < lines.size(); ++row) {
        QListWidgetItem *line = item(row);
        if (line && line->text() == lines[row])
            continue;
        if (line) {
            line->setText(lines[row]);
            line->setData(Qt::SizeHintRole, QVariant());
        } else {
            addItem(lines[row]);
            line = item(row);
        }
        // Measured once, as it is added or grows: an addition makes the
        // view lay out every row again, which then costs no text layout.
        line->setSizeHint(sizeHintForIndex(model()->index(row, 0)));
    }
    // The end of the log in view, nothing selected.
    setCurrentRow(count() - 1, QItemSelectionModel::NoUpdate);
    clearSelection();
    scrollToBottom();
}

QString LinkLog::text(bool selectedOnly) const
{
    QStringList rows;
    for (int row = 0; row < count(); ++row)
        if (!selectedOnly || item(row)->isSelected())
            rows << item(row)->text();
    return rows.join(u'\n');
}

bool LinkLog::saveTo(const QString &path, QString *error) const
{
    QStringList rows;
    for (int row = 0; row < count(); ++row)
        rows << item(row)->text();
    return AtomicFile::write(path, TrafficLog::fileBytes(rows), error);
}

void LinkLog::contextMenuEvent(QContextMenuEvent *event)
{
    auto caption = [this](const char *key, const char *fallback) {
        const QString text = m_langIni.GetINIStr(section(), QLatin1String(key));
        return text.isEmpty() ? QString::fromLatin1(fallback) : text;
    };
    QMenu menu(this);
    QAction *copy = menu.addAction(caption("Cap001", "Copy"));
    copy->setEnabled(!selectedItems().isEmpty());
    QAction *copyAll = menu.addAction(caption("Cap002", "Copy all"));
    QAction *save = menu.addAction(caption("Cap003", "Save log..."));
    copyAll->setEnabled(count() > 0);
    save->setEnabled(count() > 0);
    QAction *chosen = menu.exec(event->globalPos());
    if (chosen == copy || chosen == copyAll)
        QApplication::clipboard()->setText(text(chosen == copy));
    else if (chosen == save)
        saveAs();
}

void LinkLog::saveAs()
{
    const QString filter = m_langIni.GetINIStr(section(), QStringLiteral("Mes001"));
    const QString path = QFileDialog::getSaveFileName(
        this, QString(), QStringLiteral("link.log"),
        (filter.isEmpty() ? QStringLiteral("Log files") : filter) + QStringLiteral(" (*.log);;")
            + m_langIni.GetINIStr(QStringLiteral("Tool"), QStringLiteral("Mes900")) + QStringLiteral(" (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveTo(path, &error))
        QMessageBox::warning(this, window()->windowTitle(), path + QStringLiteral("\n") + error);
}
