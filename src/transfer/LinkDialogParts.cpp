#include "LinkDialogParts.h"

#include "config/clsIniFile.h"
#include "link/Channel.h"
#include "link/TrafficLog.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace LinkDialogParts {

QPushButton *button(const QString &caption, const char *name, const char *tag, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setProperty(clsIniFile::kTagProperty, QLatin1String(tag));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void fillChannels(QComboBox *combo, int channel)
{
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (int ch = Channel::kFirst; ch <= Channel::kLast; ++ch)
        combo->addItem(Channel::text(ch));
    combo->setCurrentIndex(Channel::isValid(channel) ? channel - Channel::kFirst : 0);
}

void showLog(QListWidget *list, const TrafficLog &log)
{
    const QStringList &lines = log.lines();
    if (lines.size() < list->count())
        list->clear();
    for (int row = qMax(0, int(list->count()) - 1); row < lines.size(); ++row) {
        QListWidgetItem *item = list->item(row);
        if (item && item->text() == lines[row])
            continue;
        if (item) {
            item->setText(lines[row]);
            item->setData(Qt::SizeHintRole, QVariant());
        } else {
            list->addItem(lines[row]);
            item = list->item(row);
        }
        // Each line is measured once, as it is added or grows, and keeps its
        // size: an addition makes the view lay out every line again, which
        // then costs no text layout per line, however long the log is.
        item->setSizeHint(list->sizeHintForIndex(list->model()->index(row, 0)));
    }
    // The end of the log in view, nothing selected.
    list->setCurrentRow(list->count() - 1);
    list->clearSelection();
    list->scrollToBottom();
}

} // namespace LinkDialogParts
