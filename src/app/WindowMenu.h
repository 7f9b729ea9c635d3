#pragma once

#include <QList>
#include <QObject>

#include <functional>

class MenuParts;
class QAction;
class QMdiArea;
class QMdiSubWindow;

// The Window menu: cascade, tile, next and previous document, and below a
// separator the open documents, listed afresh each time the menu opens,
// the active one checked. Choosing one makes it active.
class WindowMenu : public QObject
{
    Q_OBJECT

public:
    // `active` names the document the menus work on (it may be active while
    // another top-level window has the focus).
    WindowMenu(const MenuParts &parts, QMdiArea *area, std::function<const QMdiSubWindow *()> active,
               QObject *parent);

    QAction *menu() const { return m_menu; }

private:
    void fill();

    QMdiArea *m_area;
    std::function<const QMdiSubWindow *()> m_active;
    QAction *m_menu = nullptr;
    QAction *m_line = nullptr;
    QList<QAction *> m_documents;
};
