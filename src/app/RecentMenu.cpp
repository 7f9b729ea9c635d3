#include "RecentMenu.h"

#include "config/ProgramFolder.h"
#include "config/RecentFiles.h"
#include "config/clsIniFile.h"
#include "link/AppContext.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>

RecentMenu::RecentMenu(AppContext &ctx, QMenu *fileMenu, std::function<void(const QString &)> open,
                       QObject *parent)
    : QObject(parent), m_ctx(ctx), m_open(std::move(open))
{
    QMenu *recent = fileMenu->addMenu(QString::fromUtf16(u"最近使ったファイル(&R)"));
    recent->setObjectName(QStringLiteral("mnuFileRecent"));
    recent->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap030"));
    m_menu = recent->menuAction();
    m_menu->setObjectName(QStringLiteral("mnuFileRecent"));
    // A fixed set of entries, given their files when the File menu opens.
    for (int i = 0; i < RecentFiles::kMaxFiles; ++i) {
        QAction *entry = recent->addAction(QString());
        entry->setObjectName(QStringLiteral("mnuFileRecent%1").arg(i + 1));
        connect(entry, &QAction::triggered, this, [this, entry] { openEntry(entry->data().toString()); });
        m_entries << entry;
    }
}

RecentFiles RecentMenu::load() const
{
    RecentFiles recent(ProgramFolder::file(m_ctx.run.settingsFolder, QLatin1String(RecentFiles::kFileName)));
    recent.load();
    return recent;
}

void RecentMenu::remember(const QString &path)
{
    RecentFiles recent = load();
    recent.add(path);
    // A settings folder that cannot be written only costs the list.
    recent.save();
    fill();
}

void RecentMenu::fill()
{
    const QStringList files = load().files();
    for (int i = 0; i < m_entries.size(); ++i) {
        QAction *entry = m_entries.at(i);
        const QString path = files.value(i);
        entry->setVisible(!path.isEmpty());
        entry->setData(path);
        // "&" in a path is shown, not taken for a mnemonic.
        QString shown = QDir::toNativeSeparators(path);
        entry->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown.replace(u'&', QStringLiteral("&&"))));
    }
    m_menu->setEnabled(!files.isEmpty());
}

void RecentMenu::openEntry(const QString &path)
{
    if (path.isEmpty())
        return;
    if (!QFileInfo::exists(path)) {
        RecentFiles recent = load();
        recent.remove(path);
        recent.save();
        fill();
        m_ctx.messages.show(MsgKind::Warning, MsgButtons::Ok,
                            m_ctx.messages.keyText(QStringLiteral("Mes060")) + QStringLiteral("\n\n")
                                + QDir::toNativeSeparators(path));
        return;
    }
    m_open(path);
}
