#include "WindowPlacement.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStyle>

#include <algorithm>

void WindowPlacement::fitIntoArea(QMdiArea *mdiArea, QMdiSubWindow *window, const QWidget *commandTable)
{
    QRect area = mdiArea->viewport()->rect();
    // Left of the command table where it lies over the window area, so
    // that it does not cover the document's title buttons (unless that
    // would leave the document too narrow to work in).
    if (commandTable && commandTable->isVisible()) {
        const QRect table(mdiArea->viewport()->mapFromGlobal(commandTable->frameGeometry().topLeft()),
                          commandTable->frameGeometry().size());
        const int left = table.left() - 1;
        if (table.intersects(area) && left - area.left() >= area.width() / 2)
            area.setRight(left);
    }
    QRect frame = window->geometry();
    frame.setSize(frame.size().boundedTo(area.size()));
    // Where another document already sits, one title bar further down and
    // to the right, as cascading steps.
    const int step = qMax(8, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window));
    const QList<QMdiSubWindow *> others = mdiArea->subWindowList();
    for (int tries = 0; tries < others.size(); ++tries) {
        frame.moveRight(qMin(frame.right(), area.right()));
        frame.moveBottom(qMin(frame.bottom(), area.bottom()));
        frame.moveLeft(qMax(frame.left(), area.left()));
        frame.moveTop(qMax(frame.top(), area.top()));
        const bool covers = std::any_of(others.cbegin(), others.cend(), [&](QMdiSubWindow *other) {
            return other != window && other->isVisible() && other->pos() == frame.topLeft();
        });
        if (!covers)
            break;
        const QPoint next = frame.topLeft() + QPoint(step, step);
        frame.moveTopLeft(QRect(next, frame.size()).bottom() > area.bottom() ? area.topLeft() : next);
    }
    window->setGeometry(frame);
}

void WindowPlacement::centreOnScreen(QWidget *window, double share)
{
    if (QScreen *s = window->screen()) {
        const QRect g = s->geometry();
        const QSize size(int(g.width() * share), int(g.height() * share));
        window->resize(size);
        window->move(g.x() + (g.width() - size.width()) / 2, g.y() + (g.height() - size.height()) / 2);
    }
}
