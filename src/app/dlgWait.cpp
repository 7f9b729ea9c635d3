#include "dlgWait.h"

#include "WaitLabel.h"
#include "transfer/LinkLog.h"

#include <QLayout>

#include <QCloseEvent>

dlgWait::dlgWait(const clsIniFile &langIni, QWidget *parent)
    : QDialog(parent), m_langIni(langIni)
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

void dlgWait::showLog(const TrafficLog &log)
{
    if (!m_log) {
        m_log = new LinkLog(m_langIni, this);
        m_log->setObjectName(QStringLiteral("lstLog"));
        m_log->setAccessibleName(m_langIni.GetINIStr(QStringLiteral("LinkLog"), QStringLiteral("Cap004")));
        layout()->addWidget(m_log);
    }
    m_log->showLog(log);
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
