#pragma once

#include <QPointer>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

// Around a link dialog: the document that was active before it is active
// again afterwards (or the one the dialog made, kept with keep()), and has
// the keyboard focus, so that the next Download sends what the user sees
// and typing goes on where it was. A modal dialog, and a window manager
// that hands the focus back to no one in particular, would otherwise leave
// another document active or none focused.
class LinkDialogGuard
{
public:
    explicit LinkDialogGuard(QMdiArea *area);
    ~LinkDialogGuard();
    LinkDialogGuard(const LinkDialogGuard &) = delete;
    LinkDialogGuard &operator=(const LinkDialogGuard &) = delete;

    // The document to leave active instead of the one before.
    void keep(QWidget *document);

    // Makes `window` the active document of `area` and gives it the focus,
    // now and once more after the events that closing a dialog queues.
    static void restore(QMdiArea *area, QMdiSubWindow *window);

private:
    QPointer<QMdiArea> m_area;
    QPointer<QMdiSubWindow> m_window;
};
