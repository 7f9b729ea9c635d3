#include "dlgWait.h"

#include "WaitLabel.h"

#include <QCloseEvent>

dlgWait::dlgWait(const clsIniFile &langIni, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgWait"));
    setWindowTitle(QString());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setModal(true);
    m_lblMsg = WaitLabel::create(langIni, QStringLiteral("Mes002"), this);
}

void dlgWait::ShowDialog()
{
    if (m_finishing)
        return;
    exec();
}

void dlgWait::finish()
{
    m_finishing = true;
    accept();
}

void dlgWait::closeEvent(QCloseEvent *event)
{
    // Only the link check ends the wait (its reply time-out bounds it).
    if (m_finishing)
        event->accept();
    else
        event->ignore();
}

void dlgWait::reject()
{
    if (m_finishing)
        QDialog::reject();
}
