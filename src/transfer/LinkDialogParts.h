#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QComboBox;
class QPushButton;

// What the link dialogs share: their buttons, the channel list and the
// keyboard focus across an exchange (the log view is LinkLog).
namespace LinkDialogParts {

// A button of a link dialog with its caption tag. It is never a default
// button: Return must not start a machine or overwrite a channel.
QPushButton *button(const QString &caption, const char *name, const char *tag, QWidget *parent);

// The channels 01..15, `channel` selected, without a change signal.
void fillChannels(QComboBox *combo, int channel);

// The keyboard focus of a link dialog across the lock of an exchange:
// disabling the focused control leaves the focus nowhere, so it goes back
// where it was when the dialog is unlocked, or to the channel list when it
// was nowhere (as when the dialog opens while the channel's state is asked
// for), so that keyboard users keep their place and the arrow keys choose
// a channel.
class FocusKeeper
{
public:
    // The dialog's channel list.
    void setChannels(QWidget *channels) { m_channels = channels; }
    // Before the controls are disabled.
    void lock(QWidget *dialog)
    {
        if (!m_before)
            m_before = dialog->focusWidget();
    }
    // After they are enabled again.
    void unlock()
    {
        QWidget *target = m_before && m_before->isEnabled() ? m_before.data() : m_channels.data();
        if (target && target->isEnabled())
            target->setFocus();
        m_before.clear();
    }

private:
    QPointer<QWidget> m_channels;
    QPointer<QWidget> m_before;
};

} // namespace LinkDialogParts
