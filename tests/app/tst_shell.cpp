#include "app/clsWindow.h"
#include "app/dlgInit.h"
#include "app/dlgWait.h"
#include "config/clsIniFile.h"
#include "link/AppContext.h"
#include "program/ProgramDocument.h"
#include "sim/SimController.h"
#include "support/AppFixture.h"
#include "support/FileBytes.h"
#include "ui/FrmProg.h"
#include "ui/ProgGrid.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <utility>

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

// The started editor with `device` (the simulator's) as COM8, chosen in
// com.cfg, and no pause before a transfer dialog.
bool attachCom8(AppFixture &f, const QString &device)
{
    if (!writeBytes(f.dir.filePath("ports.cfg"), "COM8=" + device.toLocal8Bit() + "\r\n")
        || !writeBytes(f.dir.filePath("com.cfg"), "82121\r\n"))
        return false;
    f.app.context().initComm();
    f.app.context().intervals.transferPause = std::chrono::milliseconds(1);
    f.main->updateMenus();
    return true;
}

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
    void linkDialogsKeepTheDocument_data();
    void linkDialogsKeepTheDocument();
    void uploadFromTheMenu_data();
    void uploadFromTheMenu();
    void channelRemembered();
    void downloadMarksTheStep_data();
    void downloadMarksTheStep();
    void languageForTheNextStart();
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
    // Through a name of its own, as an adapter's by-id name: gone, the name
    // goes with it (the pseudo-terminal's number may be another test's by
    // then).
    const QString device = f.dir.filePath(QStringLiteral("ttyCOM8"));
    QVERIFY(QFile::link(sim.devicePath(), device));
    QVERIFY(attachCom8(f, device));
    QVERIFY(f.item("mnuComUL")->isEnabled());
    QVERIFY(f.item("mnuComExe")->isEnabled());
    QCOMPARE(f.app.context().comSettings.appliedLine().device, device);
    if (fault == QLatin1String("gone")) {
        f.app.context().link.intervals.reply = std::chrono::milliseconds(100);
        sim.pullCable();
        QVERIFY(QFile::remove(device));
    }

    // The wait window is modal; the check closes it. While the result is
    // shown, the exchange can be read behind it, the reset's "?:" first.
    QStringList logged;
    f.presenter.whilePresenting = [&] {
        QCoreApplication::processEvents();
        if (auto *log = f.main->findChild<QListWidget *>(QStringLiteral("lstLog")))
            for (int row = 0; row < log->count(); ++row)
                logged << log->item(row)->text();
    };
    f.item("mnuCommChk")->trigger();
    if (fault != QLatin1String("gone"))
        QVERIFY2(logged.value(0) == QLatin1String(">?:[CR][LF]") && logged.contains(QStringLiteral(">CHINF:01[CR][LF]")),
                 qPrintable(logged.join(u'|')));
    QCOMPARE(f.presenter.shown.size(), 1);
    const QString expected = f.app.context().messages.keyText(key);
    QVERIFY2(f.presenter.shown[0].text.startsWith(expected.left(expected.indexOf(QLatin1String("%1")))),
             qPrintable(f.presenter.shown[0].text));
    // A check that passed says which port and line settings answered.
    if (key == QLatin1String("Mes000"))
        QVERIFY2(f.presenter.shown[0].text.endsWith(QStringLiteral("Port %1, 9600,N,8,1").arg(device)),
                 qPrintable(f.presenter.shown[0].text));
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!f.app.context().link.isOpen());
    QVERIFY(f.main->isEnabled());
}

void TestShell::linkDialogsKeepTheDocument_data()
{
    QTest::addColumn<QString>("item");   // the Communication menu's item
    QTest::addColumn<QString>("dialog"); // the dialog it opens; empty: none to answer
    QTest::newRow("download") << "mnuComTx" << "dlgDown";
    QTest::newRow("upload") << "mnuComUL" << "dlgUP";
    QTest::newRow("run control") << "mnuComExe" << "dlgExe";
    QTest::newRow("link check") << "mnuCommChk" << "";
}

// Three documents, the third made active: a link dialog in which Down and
// Return are pressed on the channel list and which is then left with Esc
// sends nothing that writes to or starts the controller, and leaves the
// third document active with the keyboard focus in its grid.
void TestShell::linkDialogsKeepTheDocument()
{
    QFETCH(QString, item);
    QFETCH(QString, dialog);

    SimController sim{SimOptions()};
    QString error;
    QVERIFY2(sim.start(&error), qPrintable(error));
    AppFixture f(1, QStringLiteral("1"));
    QVERIFY(attachCom8(f, sim.devicePath()));
    AppContext &ctx = f.app.context();
    QList<FrmProg *> forms;
    for (int i = 0; i < 3; ++i) {
        forms << f.main->makeNewForm(1);
        forms.last()->document()->putSteps({{ProgCell{Catalogue::W, {"1"}}}});
    }
    f.main->mdiArea()->setActiveSubWindow(forms.first());
    f.main->mdiArea()->setActiveSubWindow(forms.last());
    f.main->updateMenus();
    QCOMPARE(f.main->activeForm(), forms.last());

    bool answered = dialog.isEmpty();
    QStringList sent;
    qsizetype shown = 0;
    bool stillOpen = true;
    bool focusOnList = dialog.isEmpty();
    // The pause window comes first: the dialog is waited for without
    // blocking the event loop that runs it.
    QTimer poll;
    if (!answered) {
        poll.start(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget *dlg = QApplication::activeModalWidget();
            if (!dlg || dlg->objectName() != dialog || ctx.commands.waiting())
                return;
            poll.stop();
            // The channel list, with the keyboard focus as the dialog opens.
            auto *list = dlg->findChild<QWidget *>(dialog == QLatin1String("dlgUP")
                                                       ? QStringLiteral("cboCH")
                                                       : QStringLiteral("comboCh"));
            focusOnList = list && dlg->focusWidget() == list;
            if (list) {
                QTest::keyClick(list, Qt::Key_Down);
                // The new channel's state asked for and shown, as a user sees it.
                QTRY_VERIFY(!ctx.commands.waiting());
                QTest::qWait(50);
                QTest::keyClick(list, Qt::Key_Return);
                QTest::qWait(200);
            }
            // Not even the question before a transfer or a start; the
            // checks wait until the dialog is gone, so that none hangs.
            sent = sim.commands();
            shown = f.presenter.shown.size();
            stillOpen = dlg->isVisible();
            while (QApplication::activeModalWidget()) {
                QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
                QTest::qWait(20);
            }
            answered = list != nullptr;
        });
    }
    f.item(qPrintable(item))->trigger();
    QVERIFY(answered && !QApplication::activeModalWidget());
    QVERIFY(stillOpen);
    QVERIFY(focusOnList);
    QCOMPARE(shown, 0);
    for (const QString &command : sent)
        QVERIFY2(command == QLatin1String("?:") || command.startsWith(QLatin1String("CHINF:")),
                 qPrintable(command));
    QCOMPARE(f.main->activeForm(), forms.last());
    QTRY_VERIFY(forms.last()->grid()->hasFocus());
}

void TestShell::uploadFromTheMenu_data()
{
    QTest::addColumn<QStringList>("stored"); // channel 2 of the controller
    QTest::addColumn<int>("answer");         // to the question before a shortened window
    QTest::addColumn<QString>("message");    // the start of the box shown after the upload
    QTest::addColumn<int>("steps");          // of the new window; -1: none opened
    QTest::newRow("a two-axis program in a one-axis run: asked, No opens nothing")
        << QStringList{"H:A|H:B"} << int(MsgAnswer::No)
        << "The controller's program has 2 axes and 1 steps. A window of this run cannot hold axis B" << -1;
    QTest::newRow("asked, Yes opens axis A")
        << QStringList{"H:A|H:B"} << int(MsgAnswer::Yes) << "The controller's program has 2 axes" << 1;
    QTest::newRow("a value File > Open refuses: opened, and the cell named")
        << QStringList{"H:A", "W:0"} << int(MsgAnswer::Ok)
        << "The uploaded program holds values that File > Open does not accept. They are kept as the "
           "controller holds them; correct them before saving:\nLine 2, step 001, axis A: " << 2;
}

// Communication > Upload of the real main window: what the controller holds
// is never cut or changed without a word.
void TestShell::uploadFromTheMenu()
{
    QFETCH(QStringList, stored);
    QFETCH(int, answer);
    QFETCH(QString, message);
    QFETCH(int, steps);

    SimController sim{SimOptions()};
    QString error;
    QVERIFY2(sim.start(&error), qPrintable(error));
    sim.setProgram(2, stored);
    AppFixture f(1, QStringLiteral("1"));
    QVERIFY(attachCom8(f, sim.devicePath()));
    AppContext &ctx = f.app.context();
    f.presenter.answers = {int(MsgAnswer::Ok), answer}; // the upload's end, then the question

    QTimer poll;
    poll.start(20);
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget *dlg = QApplication::activeModalWidget();
        if (!dlg || dlg->objectName() != QLatin1String("dlgUP") || ctx.commands.waiting())
            return;
        auto *channels = dlg->findChild<QComboBox *>(QStringLiteral("cboCH"));
        if (channels->currentIndex() != 1) {
            channels->setCurrentIndex(1);
            return;
        }
        poll.stop();
        dlg->findChild<QPushButton *>(QStringLiteral("cmdUpLoad"))->click();
    });
    f.item("mnuComUL")->trigger();
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(f.presenter.shown.size() >= 2);
    QVERIFY2(f.presenter.shown[1].text.startsWith(message), qPrintable(f.presenter.shown[1].text));
    FrmProg *form = f.main->activeForm();
    QCOMPARE(form ? form->document()->getStep() : -1, steps);
}

// The channel chosen in one link dialog is where the next one opens, in
// this run and the next (channel.cfg).
void TestShell::channelRemembered()
{
    SimController sim{SimOptions()};
    QString error;
    QVERIFY2(sim.start(&error), qPrintable(error));
    AppFixture f(1, QStringLiteral("1"));
    QVERIFY(attachCom8(f, sim.devicePath()));
    AppContext &ctx = f.app.context();

    // Each dialog in turn: what it opens at, then channel 03 chosen in the first.
    QStringList openedAt;
    QTimer poll;
    poll.start(20);
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget *dlg = QApplication::activeModalWidget();
        auto *channels = dlg ? dlg->findChild<QComboBox *>(dlg->objectName() == QLatin1String("dlgUP")
                                                               ? QStringLiteral("cboCH")
                                                               : QStringLiteral("comboCh"))
                             : nullptr;
        if (!channels || ctx.commands.waiting())
            return;
        openedAt << dlg->objectName() + u' ' + channels->currentText();
        if (openedAt.size() == 1)
            channels->setCurrentIndex(2);
        QTRY_VERIFY(!ctx.commands.waiting());
        QTest::keyClick(dlg, Qt::Key_Escape);
    });
    f.item("mnuComExe")->trigger();
    f.item("mnuComUL")->trigger();
    QCOMPARE(openedAt, (QStringList{"dlgExe 01", "dlgUP 03"}));
    QCOMPARE(readBytes(f.dir.filePath("channel.cfg")), QByteArray("03\r\n"));
}

// During a download the step being sent is marked in the document.
void TestShell::downloadMarksTheStep_data()
{
    QTest::addColumn<QString>("fault"); // of the simulator, "fail-step N=REPLY"; empty: none
    QTest::addColumn<int>("step");      // marked when the last message is shown
    QTest::newRow("all three steps") << "" << 3;
    QTest::newRow("the second step refused: marked as its message names it") << "1=!5" << 2;
}

void TestShell::downloadMarksTheStep()
{
    QFETCH(QString, fault);
    QFETCH(int, step);
    SimOptions options;
    QString error;
    if (!fault.isEmpty())
        options.faults << *SimFault::fromOption(QStringLiteral("fail-step"), fault, &error);
    SimController sim(options);
    QVERIFY2(sim.start(&error), qPrintable(error));
    AppFixture f(1, QStringLiteral("1"));
    QVERIFY(attachCom8(f, sim.devicePath()));
    AppContext &ctx = f.app.context();
    FrmProg *form = f.main->makeNewForm(1);
    form->document()->putSteps({{ProgCell{Catalogue::W, {"1"}}}, {ProgCell{Catalogue::W, {"2"}}},
                                {ProgCell{Catalogue::W, {"3"}}}});
    form->selectCell(1, 1);
    f.main->updateMenus();

    QList<int> marked;
    int markedAtMessage = -1;
    f.presenter.whilePresenting = [&] { markedAtMessage = form->grid()->currentIndex().row(); };
    bool sent = false;
    QTimer poll;
    poll.start(20);
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget *dlg = QApplication::activeModalWidget();
        if (!dlg || dlg->objectName() != QLatin1String("dlgDown") || ctx.commands.waiting())
            return;
        if (!std::exchange(sent, true)) {
            connect(form->grid()->selectionModel(), &QItemSelectionModel::currentChanged, this,
                    [&](const QModelIndex &current) { marked << current.row(); });
            dlg->findChild<QPushButton *>(QStringLiteral("cmdTx"))->click();
            return;
        }
        poll.stop();
        QTest::keyClick(dlg, Qt::Key_Escape);
    });
    f.item("mnuComTx")->trigger();
    if (fault.isEmpty())
        QCOMPARE(sim.program(1), (QStringList{"W:1", "W:2", "W:3"}));
    QVERIFY(!marked.isEmpty());
    QCOMPARE(markedAtMessage, form->document()->index(step, 1).row());
}

// View > Language: the choice is kept and used by the next start without a
// language argument; an argument still wins.
void TestShell::languageForTheNextStart()
{
    AppFixture f(1); // no argument: Japanese
    QCOMPARE(f.app.context().run.langNo, 0);
    auto *japanese = f.main->findChild<QAction *>(QStringLiteral("mnuLanguage0"));
    auto *english = f.main->findChild<QAction *>(QStringLiteral("mnuLanguage1"));
    QVERIFY(japanese && english);
    QVERIFY(japanese->isChecked());
    QCOMPARE(english->text(), QStringLiteral("English")); // each by its own name
    english->trigger();
    QCOMPARE(readBytes(f.dir.filePath("lang.cfg")), QByteArray("1\r\n"));
    RunContext next;
    next.chooseLanguage(f.dir.path(), QString());
    QCOMPARE(next.langNo, 1);
    next.chooseLanguage(f.dir.path(), QStringLiteral("0"));
    QCOMPARE(next.langNo, 0);
    QVERIFY(writeBytes(f.dir.filePath("lang.cfg"), "7\r\n")); // not a language: none chosen
    next.chooseLanguage(f.dir.path(), QString());
    QCOMPARE(next.langNo, 0);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
