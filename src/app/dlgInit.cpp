#include "dlgInit.h"

#include "WaitLabel.h"

#include <QPainter>
#include <QTimer>

dlgInit::dlgInit(const clsIniFile &langIni, std::chrono::milliseconds interval, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("dlgInit"));
    setModal(true);
    m_lblMsg = WaitLabel::create(langIni, QStringLiteral("Mes001"), this);

    m_tmrInit = new QTimer(this);
    m_tmrInit->setObjectName(QStringLiteral("tmrInit"));
    m_tmrInit->setSingleShot(true);
    m_tmrInit->setInterval(interval);
    connect(m_tmrInit, &QTimer::timeout, this, &QDialog::accept);
    m_tmrInit->start();
}

void dlgInit::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void dlgInit::reject()
{
    // The pause cannot be cut short; it closes itself.
}
