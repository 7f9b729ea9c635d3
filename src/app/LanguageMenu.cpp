#include "LanguageMenu.h"

#include "config/ControllerType.h"
#include "config/LanguageChoice.h"
#include "config/ProgramFolder.h"
#include "config/RunContext.h"

#include <QActionGroup>
#include <QMenu>

LanguageMenu::LanguageMenu(const RunContext &run, QMenu *parent) : QObject(parent), m_run(run)
{
    const QString section = QStringLiteral("MDIFormMain");
    QMenu *menu = parent->addMenu(run.langIni.GetINIStr(section, QStringLiteral("Cap051")));
    menu->setObjectName(QStringLiteral("mnuLanguage"));
    auto *group = new QActionGroup(menu);
    // The language the next start without an argument will use.
    const QString stored = LanguageChoice::load(run.settingsFolder);
    const int next = stored.isEmpty() ? run.langNo : stored.toInt();
    for (int langNo = 0; langNo < 2; ++langNo) {
        // Each language by its own name, from its own file.
        const clsIniFile file(
            ProgramFolder::file(run.programFolder, ControllerType::languageFileName(langNo)));
        QString name = file.GetINIStr(section, QStringLiteral("Cap050"));
        if (name.isEmpty())
            name = ControllerType::languageFileName(langNo);
        QAction *action = menu->addAction(name);
        action->setObjectName(QStringLiteral("mnuLanguage%1").arg(langNo));
        action->setCheckable(true);
        action->setChecked(langNo == next);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, langNo] { choose(langNo); });
        m_languages[langNo] = action;
    }
    menu->addSeparator();
    QAction *note = menu->addAction(run.langIni.GetINIStr(section, QStringLiteral("Cap052")));
    note->setEnabled(false);
}

void LanguageMenu::choose(int langNo)
{
    LanguageChoice::save(m_run.settingsFolder, langNo);
}
