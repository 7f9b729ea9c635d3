#pragma once

#include <QString>

class QComboBox;
class QListWidget;
class QPushButton;
class QWidget;
class TrafficLog;

// What the link dialogs share: their buttons, the channel list and the
// traffic log view.
namespace LinkDialogParts {

// A button of a link dialog with its caption tag. It is never a default
// button: Return must not start a machine or overwrite a channel.
QPushButton *button(const QString &caption, const char *name, const char *tag, QWidget *parent);

// The channels 01..15, `channel` selected, without a change signal.
void fillChannels(QComboBox *combo, int channel);

// Shows the log's lines: only the last line of the list can have grown
// since the last call, and lines are only added. The end stays in view.
void showLog(QListWidget *list, const TrafficLog &log);

} // namespace LinkDialogParts
