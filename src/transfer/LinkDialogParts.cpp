#include "LinkDialogParts.h"

#include "config/clsIniFile.h"
#include "link/Channel.h"

#include <QComboBox>
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

} // namespace LinkDialogParts
