#include "CommandIcons.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

CommandIcons::CommandIcons()
{
    // A cell shows two lines of text beside its icon and the row is as high
    // as the icon, so the icon is at least two text lines high.
    const int lines = 2 * QFontMetrics(QGuiApplication::font()).lineSpacing() + 4;
    const int side = qMax(32, lines);
    m_size = QSize(side, side);
}

QPixmap CommandIcons::pixmap(int cmd, qreal devicePixelRatio) const
{
    if (cmd < 1 || cmd > kCount)
        return {};
    QPixmap &cached = m_cache[size_t(cmd)];
    if (cached.isNull() || !qFuzzyCompare(cached.devicePixelRatio(), devicePixelRatio)) {
        const QString path = QStringLiteral(":/icons/cmd%1.svg").arg(cmd, 2, 10, QChar(u'0'));
        QSvgRenderer renderer(path);
        QPixmap pm(m_size * devicePixelRatio);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        renderer.render(&p);
        p.end();
        pm.setDevicePixelRatio(devicePixelRatio);
        cached = pm;
    }
    return cached;
}

void CommandIcons::paint(QPainter *painter, const QRect &rect, int cmd) const
{
    const QPixmap pm = pixmap(cmd, painter->device() ? painter->device()->devicePixelRatioF() : 1.0);
    if (pm.isNull())
        return;
    const QPoint topLeft(rect.x() + (rect.width() - m_size.width()) / 2,
                         rect.y() + (rect.height() - m_size.height()) / 2);
    painter->drawPixmap(topLeft, pm);
}
