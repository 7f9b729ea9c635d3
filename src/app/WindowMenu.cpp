#include "WindowMenu.h"

#include "MenuParts.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

WindowMenu::WindowMenu(const MenuParts &parts, QMdiArea *area, std::function<const QMdiSubWindow *()> active,
                       QObject *parent)
    : QObject(parent), m_area(area), m_active(std::move(active))
{
    const auto text = [](const char16_t *s) { return QString::fromUtf16(s); };
    m_menu = parts.addMenu(QStringLiteral("mnuWindow"), text(u"ウィンドウ(&W)"), QStringLiteral("Cap040"));
    connect(m_menu->menu(), &QMenu::aboutToShow, this, &WindowMenu::fill);
    QAction *cascade = parts.addItem(m_menu, QStringLiteral("mnuWindowCascade"), text(u"重ねて表示(&C)"),
                                     QStringLiteral("Cap041"));
    connect(cascade, &QAction::triggered, area, &QMdiArea::cascadeSubWindows);
    QAction *tile = parts.addItem(m_menu, QStringLiteral("mnuWindowTile"), text(u"並べて表示(&T)"),
                                  QStringLiteral("Cap042"));
    connect(tile, &QAction::triggered, area, &QMdiArea::tileSubWindows);
    QAction *next = parts.addItem(m_menu, QStringLiteral("mnuWindowNext"), text(u"次のウィンドウ(&N)"),
                                  QStringLiteral("Cap043"), QKeySequence(Qt::CTRL | Qt::Key_Tab));
    connect(next, &QAction::triggered, area, &QMdiArea::activateNextSubWindow);
    QAction *previous = parts.addItem(m_menu, QStringLiteral("mnuWindowPrevious"), text(u"前のウィンドウ(&P)"),
                                      QStringLiteral("Cap044"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab));
    connect(previous, &QAction::triggered, area, &QMdiArea::activatePreviousSubWindow);
    m_line = parts.addSeparator(m_menu, QStringLiteral("mnuWindowLine1"));
}

void WindowMenu::fill()
{
    qDeleteAll(m_documents);
    m_documents.clear();
    const QList<QMdiSubWindow *> windows = m_area->subWindowList();
    m_line->setVisible(!windows.isEmpty());
    const QMdiSubWindow *active = m_active();
    for (qsizetype i = 0; i < windows.size(); ++i) {
        QMdiSubWindow *window = windows.at(i);
        // "&" in a title is shown, not taken for a mnemonic.
        QString title = window->windowTitle();
        title.replace(u'&', QStringLiteral("&&"));
        const QString text = i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(title)
                                   : QStringLiteral("%1 %2").arg(i + 1).arg(title);
        QAction *entry = m_menu->menu()->addAction(text);
        entry->setObjectName(QStringLiteral("mnuWindowDoc%1").arg(i + 1));
        entry->setCheckable(true);
        entry->setChecked(window == active);
        connect(entry, &QAction::triggered, window, [this, window] { m_area->setActiveSubWindow(window); });
        m_documents << entry;
    }
}
