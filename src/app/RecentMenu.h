#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QMenu;
class RecentFiles;
struct AppContext;

// File > Open Recent: a fixed set of entries given the files of recent.cfg,
// most recent first; a file chosen that no longer exists is said and taken
// off the list.
class RecentMenu : public QObject
{
    Q_OBJECT

public:
    // Adds the submenu to `fileMenu`; `open` opens a file chosen.
    RecentMenu(AppContext &ctx, QMenu *fileMenu, std::function<void(const QString &)> open,
               QObject *parent);

    // Puts a file just opened or saved at the front of the list.
    void remember(const QString &path);
    // Shows the list as its file holds it now (another run may have
    // changed it).
    void fill();

private:
    RecentFiles load() const;
    void openEntry(const QString &path);

    AppContext &m_ctx;
    std::function<void(const QString &)> m_open;
    QAction *m_menu = nullptr;
    QList<QAction *> m_entries; // hidden when unused
};
