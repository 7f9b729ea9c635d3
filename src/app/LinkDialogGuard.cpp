#include "LinkDialogGuard.h"

#include "ui/FrmProg.h"
#include "ui/ProgGrid.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

LinkDialogGuard::LinkDialogGuard(QMdiArea *area) : m_area(area), m_window(area->activeSubWindow())
{
}

LinkDialogGuard::~LinkDialogGuard()
{
    if (m_area && m_window)
        restore(m_area, m_window);
}

void LinkDialogGuard::keep(QWidget *document)
{
    if (auto *window = qobject_cast<QMdiSubWindow *>(document))
        m_window = window;
}

void LinkDialogGuard::restore(QMdiArea *area, QMdiSubWindow *window)
{
    auto apply = [area, window] {
        if (!area || !window)
            return;
        if (area->activeSubWindow() != window)
            area->setActiveSubWindow(window);
        area->window()->activateWindow();
        // A document's keys go to its grid.
        auto *form = qobject_cast<FrmProg *>(window);
        QWidget *focus = form ? static_cast<QWidget *>(form->grid()) : window;
        focus->setFocus(Qt::ActiveWindowFocusReason);
    };
    apply();
    QTimer::singleShot(0, window, apply);
}
