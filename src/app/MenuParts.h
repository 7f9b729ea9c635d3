#pragma once

#include <QKeySequence>
#include <QString>

class QAction;
class QMainWindow;

// Builds the main window's menus and items. Each has an object name, by
// which tests and accessibility clients find it, and the key of its caption
// in the language file (CaptionChange puts the caption on). Items are
// children of the window, so that the window finds them by name.
class MenuParts
{
public:
    explicit MenuParts(QMainWindow *window) : m_window(window) {}

    QAction *addMenu(const QString &name, const QString &stored, const QString &tag) const;
    QAction *addItem(QAction *menu, const QString &name, const QString &stored, const QString &tag,
                     const QKeySequence &shortcut = {}) const;
    QAction *addSeparator(QAction *menu, const QString &name) const;

private:
    QMainWindow *m_window;
};
