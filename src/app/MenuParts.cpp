#include "MenuParts.h"

#include "config/clsIniFile.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

QAction *MenuParts::addMenu(const QString &name, const QString &stored, const QString &tag) const
{
    QMenu *menu = m_window->menuBar()->addMenu(stored);
    menu->setObjectName(name);
    menu->setProperty(clsIniFile::kTagProperty, tag);
    menu->menuAction()->setObjectName(name);
    return menu->menuAction();
}

QAction *MenuParts::addItem(QAction *menu, const QString &name, const QString &stored, const QString &tag,
                            const QKeySequence &shortcut) const
{
    auto *action = new QAction(stored, m_window);
    action->setObjectName(name);
    action->setProperty(clsIniFile::kTagProperty, tag);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    menu->menu()->addAction(action);
    return action;
}

QAction *MenuParts::addSeparator(QAction *menu, const QString &name) const
{
    auto *action = new QAction(m_window);
    action->setObjectName(name);
    action->setSeparator(true);
    menu->menu()->addAction(action);
    return action;
}
