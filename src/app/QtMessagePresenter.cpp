#include "QtMessagePresenter.h"

#include <QApplication>
#include <QMessageBox>

int QtMessagePresenter::present(MsgKind kind, MsgButtons buttons, const QString &title,
                                const QString &text)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
    case MsgKind::Question: icon = QMessageBox::Question; break;
    case MsgKind::Error: icon = QMessageBox::Critical; break;
    case MsgKind::Warning: icon = QMessageBox::Warning; break;
    case MsgKind::Information: icon = QMessageBox::Information; break;
    }

    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
    if (buttons == MsgButtons::YesNo) {
        standard = QMessageBox::Yes | QMessageBox::No;
        defaultButton = QMessageBox::Yes;
    } else if (buttons == MsgButtons::YesNoCancel) {
        standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        defaultButton = QMessageBox::Yes;
    }

    QMessageBox box(icon, title, text, standard, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("msgBox"));
    box.setDefaultButton(defaultButton);
    if (buttons == MsgButtons::YesNoCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons == MsgButtons::YesNo)
        box.setEscapeButton(QMessageBox::No);

    switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    default: return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
}
