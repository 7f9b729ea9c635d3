#pragma once

#include "app/MDIFormMain.h"
#include "app/VelomatApp.h"
#include "app/frmStart.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedPresenter.h"

#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

// A started editor in a temporary program folder: the controller type is
// confirmed and the main window is shown.
struct AppFixture
{
    // Without language files when `languageFiles` is false.
    explicit AppFixture(int axes, const QString &commandLine = QString(), bool languageFiles = true)
    {
        for (const char *name : {"LANG0.DAT", "LANG1.DAT"}) {
            if (languageFiles)
                QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/") + QLatin1String(name),
                            dir.filePath(QLatin1String(name)));
        }
        app.start(dir.path(), commandLine);
        app.startDialog()->findChild<QRadioButton *>(QStringLiteral("optType%1").arg(axes - 1))->setChecked(true);
        app.startDialog()->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        main = app.mainWindow();
        // No test may meet a real file dialog.
        auto scripted = std::make_unique<ScriptedFileDialogs>();
        fileDialogs = scripted.get();
        main->setFileDialogs(std::move(scripted));
    }

    QAction *item(const char *name) const { return main->item(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    ScriptedPresenter presenter;
    VelomatApp app{presenter};
    MDIFormMain *main = nullptr;
    ScriptedFileDialogs *fileDialogs = nullptr;
};
