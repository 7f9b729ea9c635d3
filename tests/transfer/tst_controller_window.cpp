#include "link/AppContext.h"
#include "link/UploadSession.h"
#include "program/ProgramFile.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedPresenter.h"
#include "support/SimLine.h"
#include "transfer/CompareView.h"
#include "transfer/ControllerWindow.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// The window against the simulated controller, the editor's parts scripted.
struct WindowRig
{
    explicit WindowRig(const QStringList &faults = {}) : sim(startSimulator(faults)), ctx(presenter)
    {
        QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT"), dir.filePath(QStringLiteral("LANG1.DAT")));
        ctx.chooseLanguage(dir.path(), QStringLiteral("1"));
        ctx.setControllerType(2);
        ctx.buildRunObjects();
        SerialLine line;
        line.device = sim->devicePath();
        ctx.comSettings.setAppliedLine(line);
        ctx.link.intervals = {300ms, 20ms, 300ms};
        sim->setProgram(1, {"H:A|H:B", "AGO:A1000|AGO:B-500", "W:5"});
        ControllerWindow::Host host;
        host.activeProgram = [this](QList<ProgStep> *steps, QString *name, int *axes) {
            ProgramFile::ReadResult r = ProgramFile::readProgram(
                ctx.catalogue, "AXIS=2\r\nH:,H:\r\nAGO:1000,AGO:-400\r\nW:5,U00:\r\n", 2, 200);
            *steps = r.steps;
            *name = QStringLiteral("open.txt");
            *axes = 2;
            return true;
        };
        host.takeUpload = [this](const UploadSession &s) { uploaded << s.channel() << s.stepCount(); };
        host.dialogs = &dialogs;
        window = std::make_unique<ControllerWindow>(ctx, std::move(host), nullptr);
    }
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(QLatin1String(name)); }
    // Shown, and the channels read as it opens.
    bool open()
    {
        window->show();
        return QTest::qWaitFor([this] { return window->busy(); }, 2000) && idle();
    }
    bool idle() const { return QTest::qWaitFor([this] { return !window->busy(); }, 10000); }
    QString last() const { return presenter.shown.isEmpty() ? QString() : presenter.shown.last().text; }

    QTemporaryDir dir;
    std::unique_ptr<SimController> sim;
    ScriptedPresenter presenter;
    ScriptedFileDialogs dialogs;
    AppContext ctx;
    QList<int> uploaded;
    std::unique_ptr<ControllerWindow> window;
};

} // namespace

class TestControllerWindow : public QObject
{
    Q_OBJECT

private slots:
    void everyOperation();
    void cablePulledMidBackup();
};

// One pass through the window's operations; the sessions behind them are
// tested on their own.
void TestControllerWindow::everyOperation()
{
    WindowRig rig;
    rig.window->show();
    // Reading the channels on opening: only Stop can be pressed, and no
    // button answers Return.
    QTRY_VERIFY(rig.window->busy());
    for (QPushButton *b : rig.window->findChildren<QPushButton *>()) {
        QVERIFY(!b->isDefault() && !b->autoDefault());
        QCOMPARE(b->isEnabled(), b->objectName() == QLatin1String("cmdStop"));
    }
    QVERIFY(rig.idle());
    QCOMPARE(rig.window->table()->item(0, 1)->text(), QStringLiteral("3 steps"));
    QCOMPARE(rig.window->table()->item(1, 1)->text(), QStringLiteral("empty"));

    rig.window->table()->selectRow(0);
    rig.button("cmdUpload")->click();
    QVERIFY(rig.idle());
    QCOMPARE(rig.uploaded, (QList<int>{1, 3}));

    rig.button("cmdCompare")->click();
    QVERIFY(rig.idle());
    auto *view = rig.window->findChild<CompareView *>();
    QVERIFY(view);
    QCOMPARE(view->differenceCount(), 1);
    QCOMPARE(view->currentRow(), 1);

    const QString folder = rig.dir.filePath(QStringLiteral("saved"));
    rig.dialogs.answers << folder;
    rig.button("cmdBackup")->click();
    QVERIFY(rig.idle());
    QVERIFY(QFile::exists(QDir(folder).filePath(QStringLiteral("CH01.txt"))));
    QVERIFY(rig.last().startsWith(QStringLiteral("The controller is backed up in")));

    rig.sim->setProgram(1, {"W:9"});
    rig.dialogs.answers << folder;
    rig.presenter.answers << MsgAnswer::Yes;
    rig.button("cmdRestore")->click();
    QVERIFY(rig.presenter.shown.at(rig.presenter.shown.size() - 1).text.contains(
        QStringLiteral("Channel 01: 3 steps now, 3 steps in the backup")));
    QVERIFY(rig.idle());
    QTRY_COMPARE(rig.sim->program(1), (QStringList{"H:A|H:B", "AGO:A1000|AGO:B-500", "W:5|U00:"}));
    QVERIFY(rig.last().startsWith(QStringLiteral("The restore is complete")));
}

void TestControllerWindow::cablePulledMidBackup()
{
    WindowRig rig({"baud:2400"});
    QVERIFY(rig.open());
    const QString folder = rig.dir.filePath(QStringLiteral("saved"));
    rig.dialogs.answers << folder;
    rig.button("cmdBackup")->click();
    QTRY_VERIFY2(rig.sim->commands().contains(QStringLiteral("UPLOAD:01")),
                 qPrintable(rig.sim->commands().join(u' ') + u'|' + rig.last()));
    rig.sim->pullCable();
    QVERIFY(rig.idle());
    QVERIFY2(rig.last().startsWith(QStringLiteral("No backup was written.")), qPrintable(rig.last()));
    QVERIFY(!QFile::exists(folder));
    QVERIFY(rig.button("cmdBackup")->isEnabled());
}

QTEST_MAIN(TestControllerWindow)
#include "tst_controller_window.moc"
