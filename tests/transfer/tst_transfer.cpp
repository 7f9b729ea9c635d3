#include "link/AppContext.h"
#include "link/RunControlSession.h"
#include "link/TrafficLog.h"
#include "sim/SimController.h"
#include "support/FileBytes.h"
#include "support/ScriptedPresenter.h"
#include "support/Ser2net.h"
#include "transfer/LinkLog.h"
#include "transfer/CompareView.h"
#include "transfer/dlgDown.h"
#include "program/ProgramFile.h"

#include <QCheckBox>
#include "transfer/dlgExe.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;

namespace {

// The active document of the editor, as the download sees it.
struct ThreeSteps : StepSource
{
    int getStep() const override { return 3; }
    QString getSendStep(int step) const override { return QStringLiteral("W:%1").arg(step); }
};

// A run object built like the editor's, its serial line on the simulated
// controller; faults as velomat-sim options ("fail:CHINF=!5").
struct Bench
{
    explicit Bench(const QStringList &faults) : ctx(presenter)
    {
        QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT"), dir.filePath(QStringLiteral("LANG1.DAT")));
        ctx.chooseLanguage(dir.path(), QStringLiteral("1"));
        ctx.buildRunObjects();
        SimOptions options;
        for (const QString &f : faults) {
            QString error;
            const auto fault = SimFault::fromOption(f.section(u':', 0, 0), f.section(u':', 1), &error);
            if (!fault)
                qFatal("bad fault %s: %s", qPrintable(f), qPrintable(error));
            options.faults << *fault;
        }
        sim = std::make_unique<SimController>(options);
        QString error;
        if (!sim->start(&error))
            qFatal("simulator: %s", qPrintable(error));
        SerialLine line;
        line.device = sim->devicePath();
        ctx.comSettings.setAppliedLine(line);
        ctx.link.intervals = {300ms, 20ms, 600ms};
    }

    // Whether the messages shown are those of the keys of section MsgBox,
    // in order (a text may go on after its key's, as the lost port's does).
    bool shown(const QStringList &keys) const
    {
        if (presenter.shown.size() != keys.size())
            return false;
        for (int i = 0; i < keys.size(); ++i)
            if (!presenter.shown[i].text.startsWith(ctx.messages.keyText(keys[i])))
                return false;
        return true;
    }

    // Plays a user's script on the open dialog:
    //   "ch N"          choose channel N once the list takes a choice
    //   "click NAME"    click the button once it is enabled
    //   "sent CMD"      wait until the controller has received CMD
    //   "close refused" a close request leaves the dialog open
    //   "pull"          pull the cable
    void play(QDialog &dlg, const QStringList &script)
    {
        for (const QString &step : script) {
            const QString arg = step.section(u' ', 1);
            if (step.startsWith(QLatin1String("ch "))) {
                auto *combo = dlg.findChild<QComboBox *>(QStringLiteral("comboCh"));
                QTRY_VERIFY(combo->isEnabled());
                combo->setCurrentIndex(arg.toInt() - 1);
            } else if (step.startsWith(QLatin1String("click "))) {
                auto *button = dlg.findChild<QPushButton *>(arg);
                QTRY_VERIFY(button->isEnabled());
                button->click();
            } else if (step.startsWith(QLatin1String("sent "))) {
                QTRY_VERIFY(sim->commands().contains(arg));
            } else if (step == QLatin1String("close refused")) {
                QVERIFY(!dlg.close());
                QVERIFY(dlg.isVisible());
            } else if (step == QLatin1String("pull")) {
                sim->pullCable();
            } else {
                QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
            }
        }
    }

    QTemporaryDir dir;
    ScriptedPresenter presenter;
    AppContext ctx;
    ThreeSteps steps;
    std::unique_ptr<SimController> sim;
};

const QString kEmptyChannel = QStringLiteral("No program stored");

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void download_data();
    void download();
    void verifyAfterDownload_data();
    void verifyAfterDownload();
    void runControl_data();
    void runControl();
    void logView();
};

void TestTransfer::download_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("commands"); // after "?:" and "CHINF:01" of the opening
    QTest::addColumn<QList<int>>("progress");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("logTail");

    const QStringList sent{"LOAD:01", "W:1", "W:2", "W:3", "PGWRT:", "REMOTE:"};
    QTest::newRow("three steps: progress 1, 2, 3 kept; every text in the log; the state after")
        << QStringList() << QStringList{"click cmdTx"} << sent + QStringList{"CHINF:01"}
        << QList<int>{1, 2, 3} << QStringList{"Mes008"}
        << QStringList{">?:[CR][LF]", "<OK[CR][LF]", "", ">CHINF:01[CR][LF]", "<N[CR][LF]", "",
                       ">LOAD:01[CR][LF]", "<[ACK][CR][LF]", "",
                       ">W:1[CR][LF]", "<[ACK][CR][LF]", "", ">W:2[CR][LF]", "<[ACK][CR][LF]", "",
                       ">W:3[CR][LF]", "<[ACK][CR][LF]", "", ">PGWRT:[CR][LF]", "<[ACK][CR][LF]", "",
                       ">REMOTE:[CR][LF]", "<[ACK][CR][LF]", "", ">CHINF:01[CR][LF]", "<L003[CR][LF]"};
    QTest::newRow("channel 12 asked for, then loaded")
        << QStringList() << QStringList{"ch 12", "click cmdTx"}
        << QStringList{"CHINF:12", "LOAD:12", "W:1", "W:2", "W:3", "PGWRT:", "REMOTE:", "CHINF:12"}
        << QList<int>{1, 2, 3} << QStringList{"Mes008"} << QStringList();
    QTest::newRow("a slow program-memory write is waited for")
        << QStringList{"delay:PGWRT=400"} << QStringList{"click cmdTx"} << sent + QStringList{"CHINF:01"}
        << QList<int>{1, 2, 3} << QStringList{"Mes008"} << QStringList();
    QTest::newRow("error reply to step 2: no PGWRT")
        << QStringList{"fail-step:1=!5"} << QStringList{"click cmdTx"} << sent.mid(0, 3) << QList<int>{1, 0}
        << QStringList{"Mes014"} << QStringList{">W:2[CR][LF]", "<!5[CR][LF]"};
    QTest::newRow("stop after step 2: no PGWRT, next text after an empty line")
        << QStringList{"silent-step:2"} << QStringList{"click cmdTx", "sent W:3", "click cmdStop", "ch 2"}
        << sent.mid(0, 4) + QStringList{"CHINF:02"} << QList<int>{1, 2, 0} << QStringList{"Mes007"}
        << QStringList{">W:3[CR][LF]", "", ">CHINF:02[CR][LF]", "<N[CR][LF]"};
    QTest::newRow("no answer to PGWRT: time-out")
        << QStringList{"silent:PGWRT"} << QStringList{"click cmdTx"} << sent.mid(0, 5)
        << QList<int>{1, 2, 3, 0} << QStringList{"Mes006"} << QStringList{">PGWRT:[CR][LF]"};
    QTest::newRow("close refused while a step is awaited")
        << QStringList{"silent-step:1"} << QStringList{"click cmdTx", "sent W:2", "close refused"}
        << sent.mid(0, 3) << QList<int>{1, 0} << QStringList{"Mes006"} << QStringList();
    QTest::newRow("cable pulled mid-download: over at once, not by the time-out")
        << QStringList{"silent-step:1"} << QStringList{"click cmdTx", "sent W:2", "pull"} << sent.mid(0, 3)
        << QList<int>{1, 0} << QStringList{"Mes055"} << QStringList();
}

// The download dialog as the main window opens it, against the simulator.
void TestTransfer::download()
{
    QFETCH(QStringList, faults);
    QFETCH(QStringList, script);
    QFETCH(QStringList, commands);
    QFETCH(QList<int>, progress);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, logTail);

    Bench b(faults);
    dlgDown dlg(b.ctx, b.steps, QStringLiteral("prog.txt*"));
    auto *bar = dlg.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    auto *log = dlg.findChild<QListWidget *>(QStringLiteral("lstDbg"));
    auto *cmdTx = dlg.findChild<QPushButton *>(QStringLiteral("cmdTx"));
    auto *cmdStop = dlg.findChild<QPushButton *>(QStringLiteral("cmdStop"));
    dlg.vFormInitialize();
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Download - prog.txt*"));
    QCOMPARE(bar->maximum(), 3);
    QVERIFY(!cmdStop->isEnabled());
    QList<int> values;
    connect(bar, &QProgressBar::valueChanged, bar, [&](int v) { values << v; });
    // Opening: the attention command, then the state of channel 01.
    QTRY_COMPARE(b.sim->commands(), (QStringList{"?:", "CHINF:01"}));

    b.play(dlg, script);
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY(!b.ctx.commands.waiting() && cmdTx->isEnabled());
    QCOMPARE(b.sim->commands(), QStringList({"?:", "CHINF:01"}) + commands);
    QCOMPARE(values, progress);
    // Beside the bar, in numbers.
    if (progress.endsWith(3))
        QVERIFY(dlg.findChild<QLabel *>(QStringLiteral("lblProgress"))->text().startsWith("step 3 of 3  0:0"));
    QVERIFY(b.shown(messages));
    QVERIFY(!cmdStop->isEnabled());
    QStringList lines;
    for (int i = 0; i < log->count(); ++i)
        lines << log->item(i)->text();
    QVERIFY2(lines.size() >= logTail.size(), qPrintable(lines.join(u'|')));
    QVERIFY2(lines.mid(lines.size() - logTail.size()) == logTail, qPrintable(lines.join(u'|')));
    QVERIFY(log->selectedItems().isEmpty());

    QVERIFY(dlg.close());
    QVERIFY(!b.ctx.link.isOpen());
    // Closed, the dialog is no longer the command set's download view.
    b.ctx.commands.reqLoad(2);
    QVERIFY(cmdTx->isEnabled());
    b.ctx.commands.endExchange();
}

// Verify after download: the channel read back and compared; a difference
// opens the comparison. The choice is remembered.
void TestTransfer::verifyAfterDownload_data()
{
    QTest::addColumn<QStringList>("program"); // what the document holds, as the read-back compares
    QTest::addColumn<bool>("verified");
    QTest::addColumn<bool>("network"); // through ser2net (RFC 2217), each box held open a while
    QTest::newRow("the same") << QStringList{"W:1", "W:2", "W:3"} << true << false;
    QTest::newRow("a difference") << QStringList{"W:1", "W:7", "W:3"} << false << false;
    // The read-back connects while the download's box is still open: the
    // download's connection must be over by then, or the server turns the
    // read-back away.
    QTest::newRow("the same, through a device server") << QStringList{"W:1", "W:2", "W:3"} << true << true;
}

void TestTransfer::verifyAfterDownload()
{
    QFETCH(QStringList, program);
    QFETCH(bool, verified);
    QFETCH(bool, network);
    Bench b({});
    b.ctx.setControllerType(1);
    Ser2net server;
    if (network) {
        QString error;
        const QList<Ser2net::Ports> ports = server.start({b.sim->devicePath()}, &error);
        QVERIFY2(!ports.isEmpty(), qPrintable(error));
        SerialLine line;
        line.device = ports.first().rfc2217;
        b.ctx.comSettings.setAppliedLine(line);
        b.presenter.hold = 200ms;
    }
    dlgDown dlg(b.ctx, b.steps, QStringLiteral("prog.txt"));
    QList<ProgStep> steps;
    for (const QString &text : program) {
        ProgStep step;
        QVERIFY(ProgramFile::readStepLine(b.ctx.catalogue, text, 1, &step));
        steps << step;
    }
    dlg.setVerifiable([steps] { return steps; }, 1);
    auto *check = dlg.findChild<QCheckBox *>(QStringLiteral("chkVerify"));
    QVERIFY(check && !check->isChecked());
    check->setChecked(true);
    dlg.vFormInitialize();
    dlg.show();
    auto *cmdTx = dlg.findChild<QPushButton *>(QStringLiteral("cmdTx"));
    QTRY_COMPARE(b.sim->commands(), (QStringList{"?:", "CHINF:01"}));
    QTRY_VERIFY(cmdTx->isEnabled() && !b.ctx.commands.waiting());
    cmdTx->click();
    QTRY_VERIFY(b.sim->commands().contains(QStringLiteral("UPLOAD:01")));
    QTRY_VERIFY(cmdTx->isEnabled() && !b.ctx.commands.waiting() && b.ctx.link.isOpen() == false);
    QTRY_COMPARE(dlg.verified(), verified);
    // Read back once: the state read after it is no new download.
    QTest::qWait(300);
    QCOMPARE(b.sim->commands().count(QStringLiteral("UPLOAD:01")), 1);
    QCOMPARE(dlg.findChild<CompareView *>() != nullptr, !verified);
    QVERIFY(dlg.close());
    dlgDown again(b.ctx, b.steps, QStringLiteral("prog.txt"));
    QVERIFY(again.findChild<QCheckBox *>(QStringLiteral("chkVerify"))->isChecked());
}

void TestTransfer::runControl_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("commands"); // after "?:" and "CHINF:01" of the opening
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("running");

    QTest::newRow("opening: state of channel 01, empty (N)")
        << QStringList() << QStringList() << QStringList() << QStringList() << kEmptyChannel << 0;
    QTest::newRow("state L0003") << QStringList{"fail:CHINF=L0003"} << QStringList() << QStringList()
                                 << QStringList() << "LOAD  3 step(s)" << 0;
    QTest::newRow("state X: empty") << QStringList{"fail:CHINF=X"} << QStringList() << QStringList()
                                    << QStringList() << "" << 0;
    QTest::newRow("channels 12 and 5 asked for") << QStringList() << QStringList{"ch 12", "ch 5"}
                                                 << QStringList{"CHINF:12", "CHINF:05"} << QStringList()
                                                 << kEmptyChannel << 0;
    // After a run or stop: said, logged, and the state asked for again.
    QTest::newRow("start on channel 7")
        << QStringList() << QStringList{"ch 7", "click cmdStart", "sent Z:07"}
        << QStringList{"CHINF:07", "LOAD:99", "Z:07", "CHINF:07"} << QStringList() << kEmptyChannel << 7;
    QTest::newRow("start, then stop")
        << QStringList() << QStringList{"ch 7", "click cmdStart", "sent Z:07", "click cmdStop", "sent U07:"}
        << QStringList{"CHINF:07", "LOAD:99", "Z:07", "CHINF:07", "LOAD:99", "U07:", "CHINF:07"}
        << QStringList() << kEmptyChannel << 0;
    QTest::newRow("start refused: no Z")
        << QStringList{"fail:LOAD=!2"} << QStringList{"click cmdStart"} << QStringList{"LOAD:99"}
        << QStringList{"Mes011"} << kEmptyChannel << 0;
    QTest::newRow("close refused while the state is awaited, status empty after the time-out")
        << QStringList{"silent:CHINF"} << QStringList{"close refused"} << QStringList()
        << QStringList{"Mes006"} << "" << 0;
}

// The run control dialog as the main window opens it, against the simulator.
void TestTransfer::runControl()
{
    QFETCH(QStringList, faults);
    QFETCH(QStringList, script);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, messages);
    QFETCH(QString, status);
    QFETCH(int, running);

    Bench b(faults);
    dlgExe dlg(b.ctx);
    auto *cmdStart = dlg.findChild<QPushButton *>(QStringLiteral("cmdStart"));
    dlg.vFormInitialize();
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Controller control"));
    QTRY_COMPARE(b.sim->commands(), (QStringList{"?:", "CHINF:01"}));

    b.play(dlg, script);
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY(!b.ctx.commands.waiting() && cmdStart->isEnabled());
    QTRY_COMPARE(b.sim->commands(), QStringList({"?:", "CHINF:01"}) + commands);
    QTRY_VERIFY(!b.ctx.commands.waiting() && cmdStart->isEnabled());
    QVERIFY(b.shown(messages));
    QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("lblStatus"))->text(), status);
    QCOMPARE(b.sim->runningChannel(), running);
    const QString result = dlg.findChild<QLabel *>(QStringLiteral("lblResult"))->text();
    const QStringList log = dlg.session().log().lines();
    if (commands.contains(QStringLiteral("Z:07"))) {
        const QString done = commands.contains(QStringLiteral("U07:")) ? "stopped" : "started";
        QVERIFY2(QRegularExpression(QStringLiteral("^Channel 07 %1 at \\d\\d:\\d\\d:\\d\\d$").arg(done))
                     .match(result).hasMatch(), qPrintable(result));
        QVERIFY2(log.contains(result) && log.contains(QStringLiteral(">Z:07[CR][LF]")), qPrintable(log.join(u'|')));
    } else {
        QVERIFY(result.isEmpty());
    }
    // Free for other programs between operations.
    QVERIFY(!b.ctx.link.isOpen());

    QVERIFY(dlg.close());
    // Closed, the dialog is no longer the command set's run control view.
    b.ctx.commands.reqChInfExe(3);
    QVERIFY(cmdStart->isEnabled());
    b.ctx.commands.endExchange();
}

// The log view of every link dialog: what it copies and what it saves.
void TestTransfer::logView()
{
    TrafficLog log;
    log.putMsg("#:\xb1\r\n", false);
    log.putMsg("\x06\r", true);
    log.putMsg("\n", true);
    log.putNote(QStringLiteral("Channel 02 started at 10:41:07"));
    log.putMsg("CHINF:02\r\n", false);
    const QStringList lines{QString::fromUtf16(u">#:\uFF71[CR][LF]"), "<[ACK][CR][LF]", "",
                            "Channel 02 started at 10:41:07", "", ">CHINF:02[CR][LF]"};
    QCOMPARE(log.lines(), lines);

    Bench b({});
    LinkLog view(b.ctx.run.langIni);
    view.showLog(log);
    QCOMPARE(view.count(), int(lines.size()));
    view.item(0)->setSelected(true);
    view.item(3)->setSelected(true);
    QCOMPARE(view.text(true), lines[0] + u'\n' + lines[3]);
    QCOMPARE(view.text(false), lines.join(u'\n'));
    // Saved as velomat-cli --log writes it: code page 932, CR LF.
    QTemporaryDir dir;
    QString error;
    QVERIFY(view.saveTo(dir.filePath("link.log"), &error));
    QCOMPARE(readBytes(dir.filePath("link.log")),
             QByteArray(">#:\xb1[CR][LF]\r\n<[ACK][CR][LF]\r\n\r\nChannel 02 started at 10:41:07\r\n\r\n"
                        ">CHINF:02[CR][LF]\r\n"));
    QVERIFY(!view.saveTo(dir.filePath("no/such/folder/link.log"), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
