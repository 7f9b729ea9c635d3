#include "config/TextCodec.h"
#include "link/AppContext.h"
#include "program/SendText.h"
#include "sim/SimController.h"
#include "support/ScriptedPresenter.h"
#include "support/SimLine.h"
#include "link/UploadSession.h"
#include "transfer/dlgUP.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;

class TestUploadDialog : public QObject
{
    Q_OBJECT

private slots:
    void upload_data();
    void upload();
};

void TestUploadDialog::upload_data()
{
    QTest::addColumn<QStringList>("program"); // channel 1, as the host downloads it
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("action"); // at the second line: "stop", "pull", "close" or nothing
    QTest::addColumn<bool>("completed");
    QTest::addColumn<QStringList>("messages"); // keys of section MsgBox, in order
    QTest::addColumn<bool>("ng");

    using S = QStringList;
    const S everyCommand{
        "AGO:A1000|AGO:B-500", "BGO:A1|BGO:B2", "MGO:A-3|MGO:B4", "H:A|H:B",
        "P:11A-00001234|P:11B+00000005", "P:60,1|P:53,1,0,1,1", "D:A100,5000,200|D:B10,600000,1",
        "R:A1000|R:B-1000", "C:0120|C:2000", "S:A05|S:B15", "U00:|U00:", "U01:05", "U02:B,1,07",
        "U03:03,100", "U04:|U04:", "U99:|U99:", "W:10|W:20", "#:HELLO:WORLD",
        // A double-byte character with "|" as its second byte, and a katakana.
        "#:" + TextCodec::decode("\x81\x7c\xb1")};
    const S three{"W:10|W:20", "H:A|H:B", "U99:|U99:"};

    QTest::newRow("every command comes back as stored")
        << everyCommand << S() << "" << true << S{"Mes021"} << false;
    QTest::newRow("status L003: progress maximum 3") << three << S() << "" << true << S{"Mes021"} << false;
    QTest::newRow("empty channel: said so, no program") << S() << S() << "" << false << S{"Mes072"} << false;
    QTest::newRow("refused line: NG, message, no steps")
        << S{"H:A|H:B", "H:AB", "H:A|H:B"} << S() << "" << false << S{"Mes001"} << true;
    QTest::newRow("error reply as first line: its message, idle")
        << three << S{"fail:UPLOAD=!3"} << "" << false << S{"Mes012"} << false;
    QTest::newRow("no answer: time-out") << three << S{"silent:EMPTY#1"} << "" << false << S{"Mes006"} << false;
    QTest::newRow("stop mid-upload: NG, message")
        << three << S{"silent:EMPTY#2"} << "stop" << false << S{"Mes001"} << true;
    QTest::newRow("cable pulled mid-upload")
        << three << S{"silent:EMPTY#2"} << "pull" << false << S{"Mes055"} << false;
    QTest::newRow("close box mid-upload: nothing left awaited")
        << three << S{"silent:EMPTY#2"} << "close" << false << S() << false;
}

// The dialog as the user drives it, against the simulated controller: the
// channel state is shown on activation, then the upload runs to its end;
// whatever way it ends, the dialog is left idle, the link free.
void TestUploadDialog::upload()
{
    QFETCH(QStringList, program);
    QFETCH(QStringList, faults);
    QFETCH(QString, action);
    QFETCH(bool, completed);
    QFETCH(QStringList, messages);
    QFETCH(bool, ng);

    const auto sim = startSimulator(faults);
    sim->setProgram(1, program);
    QTemporaryDir folder;
    QVERIFY(QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT"), folder.filePath("LANG1.DAT")));

    ScriptedPresenter presenter;
    presenter.hold = 100ms; // each box held open as a user would, events running
    AppContext ctx(presenter);
    ctx.chooseLanguage(folder.path(), QStringLiteral("1"));
    ctx.setControllerType(2);
    ctx.buildRunObjects();
    SerialLine line;
    line.device = sim->devicePath();
    ctx.comSettings.setAppliedLine(line);
    ctx.link.intervals.reply = 300ms;
    ctx.link.intervals.programWrite = 1000ms;
    ctx.link.intervals.crLf = 20ms;

    dlgUP dlg(ctx);
    auto *cboCH = dlg.findChild<QComboBox *>(QStringLiteral("cboCH"));
    auto *status = dlg.findChild<QLabel *>(QStringLiteral("lblStatus"));
    auto *progress = dlg.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    auto *cmdUpLoad = dlg.findChild<QPushButton *>(QStringLiteral("cmdUpLoad"));
    auto *cmdStop = dlg.findChild<QPushButton *>(QStringLiteral("cmdStop"));
    auto *cmdClose = dlg.findChild<QPushButton *>(QStringLiteral("cmdClose"));
    QVERIFY(cboCH && status && progress && cmdUpLoad && cmdStop && cmdClose);

    dlg.InitUpLoad();
    QTimer::singleShot(0, &dlg, [&] {
        auto drive = [&] {
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Upload"));
            QCOMPARE(cboCH->count(), 15);
            QTRY_VERIFY(!status->text().isEmpty()); // the state of channel 1
            // Read out by assistive tools: named by its caption, the state as
            // its description.
            QCOMPARE(status->accessibleName(), QStringLiteral("Status"));
            QCOMPARE(status->accessibleDescription(), status->text());
            QVERIFY(cmdUpLoad->isEnabled());
            cmdUpLoad->click();
            if (!action.isEmpty()) {
                QTRY_COMPARE(progress->value(), 2);
                QVERIFY(cmdStop->isEnabled());
                QVERIFY(!cboCH->isEnabled()); // no status request mid-upload
                if (action == QLatin1String("stop"))
                    cmdStop->click();
                else if (action == QLatin1String("pull"))
                    sim->pullCable();
                else
                    dlg.close();
            }
            QTRY_VERIFY(!dlg.isVisible() || (cmdUpLoad->isEnabled() && !ctx.commands.waiting()));
            if (dlg.isVisible()) {
                QCOMPARE(progress->value(), 0);
                QVERIFY(cboCH->isEnabled());
            }
        };
        drive();
        if (dlg.isVisible())
            cmdClose->click();
    });
    dlg.ShowDialog();
    if (QTest::currentTestFailed())
        return;

    QCOMPARE(dlg.completed(), completed);
    const QList<ProgStep> steps = completed ? dlg.session().steps(2) : QList<ProgStep>();
    QStringList texts;
    for (const ProgStep &step : steps) {
        QCOMPARE(step.size(), 2);
        texts << SendText::step(ctx.catalogue, step);
    }
    QCOMPARE(texts, completed ? program : QStringList());
    if (completed) {
        QCOMPARE(dlg.statusCount(), program.size());
        QCOMPARE(progress->value(), int(program.size()));
        if (!program.isEmpty())
            QCOMPARE(progress->maximum(), int(program.size()));
    }

    QStringList shown;
    for (const ScriptedPresenter::Shown &box : presenter.shown) {
        QString key = box.text;
        for (const char *k : {"Mes001", "Mes006", "Mes012", "Mes021", "Mes055", "Mes072"})
            if (box.text.startsWith(ctx.messages.keyText(QLatin1String(k))))
                key = QLatin1String(k);
        shown << key;
    }
    QCOMPARE(shown, messages);
    QCOMPARE(sim->commands().contains(QStringLiteral("NG:")), ng);

    // Closed: the link is free and the upload handling off.
    QVERIFY(ctx.link.route() == SerialLink::Route::Replies);
    QVERIFY(!ctx.link.isOpen());
    QVERIFY(!ctx.link.replyTimerActive());
    QVERIFY(!ctx.commands.waiting());
}

QTEST_MAIN(TestUploadDialog)
#include "tst_upload_dialog.moc"
