#include "app/clsWindow.h"
#include "app/dlgInit.h"
#include "app/dlgWait.h"
#include "config/clsIniFile.h"
#include "link/AppContext.h"
#include "sim/SimController.h"
#include "support/AppFixture.h"
#include "support/FileBytes.h"

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QtTest>

namespace {

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

// A stand-in parameter editor on the PATH that writes its arguments down.
struct FakeEditor
{
    FakeEditor()
    {
        const QString script = dir.filePath(QStringLiteral("Kestrom.exe"));
        QFile f(script);
        if (f.open(QIODevice::WriteOnly))
            f.write("#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/args\"\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        oldPath = qgetenv("PATH");
        qputenv("PATH", dir.path().toLocal8Bit() + ':' + oldPath);
    }
    ~FakeEditor() { qputenv("PATH", oldPath); }
    QString args() const { return readText(dir.filePath(QStringLiteral("args"))); }

    QTemporaryDir dir;
    QByteArray oldPath;
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void appWaitWaitsWithEventsRunning();
    void appWaitMissingProgram();
    void parameterEditor_data();
    void parameterEditor();
    void parameterEditorMissing();
    void transferPauseClosesItself();
    void linkWaitClosesOnlyWhenFinished();
    void linkCheckFromTheMenu_data();
    void linkCheckFromTheMenu();
};

void TestShell::appWaitWaitsWithEventsRunning()
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    bool timerFired = false;
    QTimer::singleShot(20, this, [&] { timerFired = true; });
    clsWindow launcher;
    // Arguments go over as they are: no shell sees the quoted one.
    launcher.AppWait(QStringLiteral("sh"),
                     {QStringLiteral("-c"), QStringLiteral("sleep 0.3; echo \"$1\" > \"$2\""),
                      QStringLiteral("sh"), QStringLiteral("a 'b' $HOME"), out});
    QCOMPARE(readText(out), QStringLiteral("a 'b' $HOME"));
    QVERIFY(timerFired);
}

void TestShell::appWaitMissingProgram()
{
    clsWindow launcher;
    launcher.AppWait(QStringLiteral("/nonexistent/program"), {});
    launcher.AppWait(QStringLiteral("no-such-program-velomat"), {QStringLiteral("1")});
}

void TestShell::parameterEditor_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("argument");
    QTest::newRow("none") << "" << "0";
    QTest::newRow("1") << "1" << "1";
    QTest::newRow("unrounded") << "0.5" << "0.5";
}

void TestShell::parameterEditor()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, argument);
    FakeEditor editor;
    AppFixture f(1, commandLine);
    f.main->showMaximized();
    QAction *para = f.item("mnuFilePara");
    para->setVisible(true); // shown again, the item works as designed
    para->trigger();
    QCOMPARE(editor.args(), argument);
    QVERIFY(f.item("mnuFile")->isEnabled());
    QVERIFY(f.item("mnuComm")->isEnabled());
    QVERIFY(f.main->windowState() & Qt::WindowMaximized);
    QVERIFY(!(f.main->windowState() & Qt::WindowMinimized));
}

void TestShell::parameterEditorMissing()
{
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    AppFixture f(1);
    QAction *para = f.item("mnuFilePara");
    para->setVisible(true);
    para->trigger();
    qputenv("PATH", oldPath);
    QVERIFY(f.item("mnuFile")->isEnabled());
    QVERIFY(f.item("mnuComm")->isEnabled());
    QVERIFY(!(f.main->windowState() & Qt::WindowMinimized));
}

void TestShell::transferPauseClosesItself()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT"), dir.filePath("LANG1.DAT")));
    const clsIniFile lang(dir.filePath("LANG1.DAT"));
    // The run's pause is two seconds; the test shortens it.
    QCOMPARE(RunIntervals().transferPause, std::chrono::milliseconds(2000));
    dlgInit pause(lang, std::chrono::milliseconds(50));
    QCOMPARE(pause.findChild<QLabel *>("lblMsg")->text(), lang.GetINIStr("WaitLabel", "Mes001"));
    QVERIFY(pause.windowFlags() & Qt::FramelessWindowHint);
    auto *timer = pause.findChild<QTimer *>("tmrInit");
    QVERIFY(timer && timer->isSingleShot());
    QCOMPARE(timer->interval(), 50);
    pause.open();
    QTest::keyClick(&pause, Qt::Key_Escape); // cannot be cut short
    QVERIFY(pause.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!pause.isVisible(), 5000);
    QCOMPARE(pause.result(), int(QDialog::Accepted));
}

void TestShell::linkWaitClosesOnlyWhenFinished()
{
    const clsIniFile lang(QStringLiteral(VELOMAT_LANG_DIR "/LANG0.DAT"));
    dlgWait wait(lang);
    QCOMPARE(wait.findChild<QLabel *>("lblMsg")->text(), lang.GetINIStr("WaitLabel", "Mes002"));
    QCOMPARE(wait.windowTitle(), QString());
    QTimer::singleShot(0, &wait, [&] {
        QVERIFY(wait.isVisible());
        QVERIFY(!wait.close());
        QTest::keyClick(&wait, Qt::Key_Escape);
        QVERIFY(wait.isVisible());
        wait.finish();
    });
    wait.ShowDialog();
    QVERIFY(!wait.isVisible());
}

void TestShell::linkCheckFromTheMenu_data()
{
    QTest::addColumn<QString>("fault"); // a simulator option; empty: none
    QTest::addColumn<QString>("key");   // the message shown, of section MsgBox
    QTest::newRow("the controller answers") << "" << "Mes000";
    QTest::newRow("an error reply") << "CHINF=!5" << "Mes014";
    QTest::newRow("the simulator gone: said at once, with the port's reason") << "gone" << "Mes070";
}

// Communication > Link check of the real main window, against the simulated
// controller on COM8.
void TestShell::linkCheckFromTheMenu()
{
    QFETCH(QString, fault);
    QFETCH(QString, key);

    SimOptions options;
    if (!fault.isEmpty() && fault != QLatin1String("gone")) {
        QString error;
        options.faults << *SimFault::fromOption(QStringLiteral("fail"), fault, &error);
    }
    SimController sim(options);
    QString error;
    QVERIFY2(sim.start(&error), qPrintable(error));

    AppFixture f(1, QStringLiteral("1"));
    const QString device = sim.devicePath();
    QVERIFY(writeBytes(f.dir.filePath("ports.cfg"), "COM8=" + device.toLocal8Bit() + "\r\n"));
    QVERIFY(writeBytes(f.dir.filePath("com.cfg"), "82121\r\n"));
    f.app.context().initComm();
    f.main->updateMenus();
    QVERIFY(f.item("mnuComUL")->isEnabled());
    QVERIFY(f.item("mnuComExe")->isEnabled());
    QCOMPARE(f.app.context().comSettings.appliedLine().device, device);
    if (fault == QLatin1String("gone")) {
        f.app.context().link.intervals.reply = std::chrono::milliseconds(100);
        sim.pullCable();
    }

    // The wait window is modal; the check closes it.
    f.item("mnuCommChk")->trigger();
    QCOMPARE(f.presenter.shown.size(), 1);
    const QString expected = f.app.context().messages.keyText(key);
    QVERIFY2(f.presenter.shown[0].text.startsWith(expected.left(expected.indexOf(QLatin1String("%1")))),
             qPrintable(f.presenter.shown[0].text));
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!f.app.context().link.isOpen());
    QVERIFY(f.main->isEnabled());
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
