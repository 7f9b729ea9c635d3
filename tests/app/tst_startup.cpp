#include "app/MDIFormMain.h"
#include "app/VelomatApp.h"
#include "app/frmStart.h"
#include "config/TextCodec.h"
#include "config/clsIniFile.h"
#include "support/ScriptedPresenter.h"
#include "support/FileBytes.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void preselectsStoredType_data();
    void preselectsStoredType();
    void confirmThreeAxes();
    void confirmOneAxis();
    void languageFromCommandLine_data();
    void languageFromCommandLine();
    void cancel();
    void closeBoxRefused();
    void unwritableFolderStillStarts();
    void withoutLanguageFile();

private:
    QString folder() const { return m_dir->path(); }
    QString typCfg() const { return m_dir->filePath(QStringLiteral("typ.cfg")); }
    void copyLanguageFiles();
    static QAction *item(MDIFormMain *w, const char *name) { return w->item(QString::fromLatin1(name)); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestStartup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    copyLanguageFiles();
}

void TestStartup::copyLanguageFiles()
{
    for (const char *name : {"LANG0.DAT", "LANG1.DAT"})
        QVERIFY(QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/") + QLatin1String(name),
                            m_dir->filePath(QLatin1String(name))));
}

void TestStartup::preselectsStoredType_data()
{
    QTest::addColumn<QByteArray>("stored"); // empty: no typ.cfg
    QTest::addColumn<int>("selected");
    QTest::newRow("no file") << QByteArray() << 1;
    QTest::newRow("3") << QByteArray("3\r\n") << 3;
    QTest::newRow("2 and more after a comma") << QByteArray("2,x\r\n") << 2;
    QTest::newRow("out of range") << QByteArray("4\r\n") << 1;
}

void TestStartup::preselectsStoredType()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, selected);
    if (!stored.isEmpty())
        QVERIFY(writeBytes(typCfg(), stored));
    ScriptedPresenter presenter;
    VelomatApp app(presenter);
    app.start(folder(), QString());
    frmStart *dlg = app.startDialog();
    QVERIFY(dlg && dlg->isVisible());
    QCOMPARE(dlg->selectedType(), selected);
    QVERIFY(dlg->findChild<QRadioButton *>(QStringLiteral("optType%1").arg(selected - 1))->isChecked());
}

void TestStartup::confirmThreeAxes()
{
    ScriptedPresenter presenter;
    VelomatApp app(presenter);
    app.start(folder(), QString());
    frmStart *dlg = app.startDialog();
    const clsIniFile lang0(m_dir->filePath(QStringLiteral("LANG0.DAT")));

    // Captions and title come from the language file.
    QCOMPARE(dlg->windowTitle(), lang0.GetINIStr("frmStart", "Caption000"));
    QCOMPARE(dlg->findChild<QRadioButton *>("optType2")->text(),
             lang0.GetINIStr("frmStart", "Caption005"));
    QCOMPARE(dlg->findChild<QPushButton *>("cmdOK")->text(), lang0.GetINIStr("frmStart", "Caption001"));

    QTest::mouseClick(dlg->findChild<QRadioButton *>("optType2"), Qt::LeftButton);
    QTest::mouseClick(dlg->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);

    QCOMPARE(readBytes(typCfg()), QByteArray("3\r\n"));
    QCOMPARE(app.context().run.axisNum, 3);
    QCOMPARE(app.context().run.maxStep, 200);
    QTRY_VERIFY(app.startDialog() == nullptr); // closed and gone

    MDIFormMain *main = app.mainWindow();
    QVERIFY(main && main->isVisible());
    QCOMPARE(main->windowTitle(), lang0.GetINIStr("MDIFormMain", "Title001"));
    QVERIFY(!main->windowTitle().isEmpty());
    QVERIFY(main->mdiArea()->subWindowList().isEmpty());
    QCOMPARE(main->nextDocNo(), 1);

    // 80 % of the screen.
    const QRect screen = main->screen()->geometry();
    QCOMPARE(main->width(), int(float(screen.width()) * 0.8f));
    QCOMPARE(main->height(), int(float(screen.height()) * 0.8f));

    // Document menus disabled, the rest enabled.
    for (const char *name : {"mnuFileClose", "mnuFileSave", "mnuFileSaveAs", "mnuEdit", "mnuDisp",
                             "mnuComTx"})
        QVERIFY2(!item(main, name)->isEnabled(), name);
    for (const char *name : {"mnuFile", "mnuFileNew", "mnuFileOpen", "mnuFileEnd", "mnuComm",
                             "mnuComParam", "mnuCommChk"})
        QVERIFY2(item(main, name)->isEnabled(), name);
    // The parameter editor item and its separator never show.
    QVERIFY(!item(main, "mnuFilePara")->isVisible());
    QVERIFY(!item(main, "mnuLine2")->isVisible());

    // Every menu caption comes from its key.
    QSet<QString> tags;
    for (QObject *o : main->findChildren<QObject *>()) {
        const QString tag = o->property("tag").toString();
        if (tag.isEmpty())
            continue;
        tags.insert(tag);
        const QString expected = lang0.GetINIStr("MDIFormMain", tag);
        QVERIFY(!expected.isEmpty());
        if (auto *menu = qobject_cast<QMenu *>(o))
            QCOMPARE(menu->title(), expected);
        else if (auto *action = qobject_cast<QAction *>(o))
            QCOMPARE(action->text(), expected);
    }
    // Cap001..Cap019: 4 menus and 15 items, whatever items follow them.
    for (int n = 1; n <= 19; ++n)
        QVERIFY2(tags.contains(QStringLiteral("Cap%1").arg(n, 3, 10, QChar(u'0'))), qPrintable(QString::number(n)));
    QCOMPARE(item(main, "mnuFileNew")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    QCOMPARE(item(main, "mnuCut")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_Delete));

    // The catalogue is built.
    QCOMPARE(app.context().catalogue.mnemonic(6), QStringLiteral("D:"));
    QVERIFY(!app.context().catalogue.name(6).isEmpty());
    QCOMPARE(app.context().catalogue.getParamMax(22), QStringLiteral("250000"));

    // File > Exit ends the run.
    QSignalSpy finished(&app, &VelomatApp::finished);
    item(main, "mnuFileEnd")->trigger();
    QCOMPARE(finished.count(), 1);
}

void TestStartup::confirmOneAxis()
{
    QVERIFY(writeBytes(typCfg(), "3\r\n"));
    ScriptedPresenter presenter;
    VelomatApp app(presenter);
    app.start(folder(), QString());
    app.startDialog()->findChild<QRadioButton *>("optType0")->setChecked(true);
    app.startDialog()->findChild<QPushButton *>("cmdOK")->click();
    QCOMPARE(app.context().run.axisNum, 1);
    QCOMPARE(app.context().run.maxStep, 100);
    QCOMPARE(readBytes(typCfg()), QByteArray("1\r\n"));
}

void TestStartup::languageFromCommandLine_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("file");
    QTest::newRow("none") << "" << "LANG0.DAT";
    QTest::newRow("1") << "1" << "LANG1.DAT";
    QTest::newRow("spaces, 1") << "  1" << "LANG1.DAT";
    QTest::newRow("2") << "2" << "LANG0.DAT";
}

void TestStartup::languageFromCommandLine()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, file);
    ScriptedPresenter presenter;
    VelomatApp app(presenter);
    app.start(folder(), commandLine);
    QCOMPARE(app.context().run.langIni.INIFile(), m_dir->filePath(file));
    const clsIniFile lang(m_dir->filePath(file));
    QCOMPARE(app.startDialog()->windowTitle(), lang.GetINIStr("frmStart", "Caption000"));
}

void TestStartup::cancel()
{
    ScriptedPresenter presenter;
    VelomatApp app(presenter);
    app.start(folder(), QStringLiteral("1"));
    QSignalSpy finished(&app, &VelomatApp::finished);
    frmStart *dlg = app.startDialog();
    const clsIniFile lang1(m_dir->filePath(QStringLiteral("LANG1.DAT")));

    presenter.answers = {MsgAnswer::No};
    dlg->findChild<QPushButton *>("cmdCancel")->click();
    QCOMPARE(presenter.shown.size(), 1);
    QCOMPARE(presenter.shown[0].text, lang1.GetINIStr("frmStart", "Mes001"));
    QCOMPARE(presenter.shown[0].buttons, MsgButtons::YesNo);
    QCOMPARE(presenter.shown[0].title, QStringLiteral("Velomat"));
    QVERIFY(dlg->isVisible());
    QCOMPARE(finished.count(), 0);

    presenter.answers = {MsgAnswer::Yes};
    dlg->findChild<QPushButton *>("cmdCancel")->click();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!QFile::exists(typCfg()));
    QVERIFY(!app.mainWindow());
}

void TestStartup::closeBoxRefused()
{
    ScriptedPresenter presenter;
    VelomatApp app(presenter);
    app.start(folder(), QString());
    frmStart *dlg = app.startDialog();
    QVERIFY(!dlg->close());
    QTest::keyClick(dlg, Qt::Key_Escape);
    QVERIFY(dlg->isVisible());
    QVERIFY(app.startDialog());
    QVERIFY(presenter.shown.isEmpty());
}

void TestStartup::unwritableFolderStillStarts()
{
    // typ.cfg as a folder: it can be neither read nor replaced.
    QVERIFY(QDir(folder()).mkdir(QStringLiteral("typ.cfg")));
    ScriptedPresenter presenter;
    VelomatApp app(presenter);
    app.start(folder(), QString());
    QCOMPARE(app.startDialog()->selectedType(), 1);
    app.startDialog()->findChild<QRadioButton *>("optType1")->setChecked(true);
    app.startDialog()->findChild<QPushButton *>("cmdOK")->click();
    QCOMPARE(app.context().run.axisNum, 2);
    QVERIFY(app.mainWindow() && app.mainWindow()->isVisible());
}

void TestStartup::withoutLanguageFile()
{
    QFile::remove(m_dir->filePath(QStringLiteral("LANG0.DAT")));
    ScriptedPresenter presenter;
    VelomatApp app(presenter);
    app.start(folder(), QString());
    frmStart *dlg = app.startDialog();
    QCOMPARE(dlg->windowTitle(), QString());
    QCOMPARE(dlg->findChild<QPushButton *>("cmdOK")->text(), QString());
    dlg->findChild<QPushButton *>("cmdOK")->click();
    QVERIFY(app.mainWindow()->isVisible());
    QCOMPARE(item(app.mainWindow(), "mnuFile")->text(), QString());
    QVERIFY(app.context().catalogue.name(1).isEmpty());
    QCOMPARE(app.context().catalogue.mnemonic(1), QStringLiteral("AGO:"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
