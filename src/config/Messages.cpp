#include "Messages.h"

#include "clsIniFile.h"

namespace {
const char kSection[] = "MsgBox";

constexpr Messages::Entry kTable[Messages::kCount] = {
    {"Mes002", MsgKind::Question},    // 0  closing a modified document
    {"Mes003", MsgKind::Error},       // 1  insert into a full program
    {"Mes004", MsgKind::Warning},     // 2  insert or delete after the last step
    {"Mes005", MsgKind::Warning},     // 3  cell has too few values
    {"Mes006", MsgKind::Warning},     // 4  no answer from the controller
    {"Mes007", MsgKind::Information}, // 5  download stopped
    {"Mes008", MsgKind::Information}, // 6  download completed
    {"Mes009", MsgKind::Warning},     // 7  error reply !0
    {"Mes010", MsgKind::Error},       // 8  error reply !1
    {"Mes011", MsgKind::Error},       // 9  error reply !2
    {"Mes012", MsgKind::Error},       // 10 error reply !3
    {"Mes013", MsgKind::Error},       // 11 error reply !4
    {"Mes014", MsgKind::Error},       // 12 error reply !5
    {"Mes015", MsgKind::Error},       // 13 error reply !6
    {"Mes016", MsgKind::Error},       // 14 error reply !7
    {"Mes017", MsgKind::Error},       // 15 error reply !8
    {"Mes018", MsgKind::Error},       // 16 any other error reply
    {"Mes019", MsgKind::Error},       // 17 invalid value
    {"Mes020", MsgKind::Error},       // 18 program file: invalid step line
    {"Mes050", MsgKind::Error},       // 19 parameter may not be written
    {"Mes051", MsgKind::Error},       // 20 program file: wrong axis count
};
} // namespace

Messages::Entry Messages::entry(int no)
{
    if (no < 0 || no >= kCount)
        return {"", MsgKind::Error};
    return kTable[no];
}

QString Messages::compose(int no, const QString &text, const QString &keyText)
{
    switch (no) {
    case 0:
        return u'\'' + text + QStringLiteral("'  ") + keyText;
    case 3:
    case 17:
    case 19:
        return text + keyText;
    default:
        return keyText;
    }
}

QString Messages::keyText(const QString &key) const
{
    return m_langIni.GetINIStr(QString::fromLatin1(kSection), key);
}

QString Messages::messageText(int no, const QString &text) const
{
    const Entry e = entry(no);
    return compose(no, text, *e.key ? keyText(QString::fromLatin1(e.key)) : QString());
}

int Messages::showMessage(int no, const QString &text) const
{
    const MsgButtons buttons = no == 0 ? MsgButtons::YesNoCancel : MsgButtons::Ok;
    return show(entry(no).kind, buttons, messageText(no, text));
}

int Messages::showKey(const QString &key, MsgKind kind) const
{
    return show(kind, MsgButtons::Ok, keyText(key));
}

int Messages::show(MsgKind kind, MsgButtons buttons, const QString &text) const
{
    if (held())
        return MsgAnswer::Ok;
    return m_presenter.present(kind, buttons, QString::fromLatin1(kTitle), text);
}
