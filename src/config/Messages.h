#pragma once

#include "MessagePresenter.h"

#include <QString>

class clsIniFile;

// The numbered message boxes: each number has its key in section "MsgBox" of
// the language file, a box kind, and a rule for composing the text.
class Messages
{
public:
    // Title of every message box of the program.
    static constexpr const char *kTitle = "Velomat";

    struct Entry
    {
        const char *key;
        MsgKind kind;
    };
    static constexpr int kCount = 21;

    Messages(const clsIniFile &langIni, MessagePresenter &presenter)
        : m_langIni(langIni), m_presenter(presenter) {}

    // Shows message `no` (0..20) with the given text where the message uses
    // one. Returns Yes, No or Cancel for message 0, Ok for the others.
    int showMessage(int no, const QString &text = QString()) const;

    // Shows a text of section "MsgBox" directly, outside the numbered table.
    int showKey(const QString &key, MsgKind kind) const;
    // The text of a key of section "MsgBox".
    QString keyText(const QString &key) const;
    // The text message `no` shows with the given text.
    QString messageText(int no, const QString &text = QString()) const;

    // Shows a composed text with the program's title (for the few boxes
    // whose text is not in section "MsgBox").
    int show(MsgKind kind, MsgButtons buttons, const QString &text) const;

    // The table row of a message number; a number outside the table gives
    // an empty key and an error box.
    static Entry entry(int no);
    // The shown text of message `no` from its key text and the given text.
    static QString compose(int no, const QString &text, const QString &keyText);

    MessagePresenter &presenter() const { return m_presenter; }

    // While held (counted, so that holds nest), no box is shown and show()
    // answers Ok: work made of several link sessions (a backup, a restore)
    // reports their outcomes itself, once, rather than a box per channel.
    void hold() { ++m_held; }
    void release() { m_held = m_held > 0 ? m_held - 1 : 0; }
    bool held() const { return m_held > 0; }

private:
    const clsIniFile &m_langIni;
    MessagePresenter &m_presenter;
    int m_held = 0;
};
