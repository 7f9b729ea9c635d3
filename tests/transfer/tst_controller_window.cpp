#include "link/AppContext.h"
#include "link/UploadSession.h"
#include "program/ProgramFile.h"
#include "support/EnglishRun.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedPresenter.h"
#include "support/SimLine.h"
#include "transfer/CompareView.h"
#include "transfer/ControllerWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
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
        buildEnglishRun(ctx, dir, 2, sim->devicePath());
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
    void faults_data();
    void faults();
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

// Faults through the window: each ends the work with its reason in the
// window (and a box where the work reports one), nothing half-made left.
void TestControllerWindow::faults_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("pullAt"); // the cable is pulled once the controller has this
    QTest::addColumn<QString>("said");   // the start of what the window says

    QTest::newRow("backup, cable pulled") << "backup" << QStringList{"baud:2400"} << "UPLOAD:01"
                                          << "No backup was written.";
    QTest::newRow("restore of an altered backup") << "restore" << QStringList() << ""
                                                  << "The backup cannot be restored; nothing was sent:";
    QTest::newRow("compare, cable pulled") << "compare" << QStringList{"baud:2400"} << "UPLOAD:01" << "";
    QTest::newRow("upload of a channel emptied since it was read")
        << "upload" << QStringList() << "" << "Channel 01 holds no program any more";
}

void TestControllerWindow::faults()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, faults);
    QFETCH(QString, pullAt);
    QFETCH(QString, said);
    WindowRig rig(faults);
    QVERIFY(rig.open());
    const QString folder = rig.dir.filePath(QStringLiteral("saved"));
    rig.window->table()->selectRow(0);
    if (operation == QLatin1String("restore")) {
        rig.dialogs.answers << folder;
        rig.button("cmdBackup")->click();
        QVERIFY(rig.idle());
        QFile file(QDir(folder).filePath(QStringLiteral("CH01.txt")));
        QVERIFY(file.open(QIODevice::Append));
        file.write("W:1,U00:\r\n");
    }
    if (operation == QLatin1String("upload"))
        rig.sim->setProgram(1, {});
    const int before = int(rig.sim->commands().size());
    rig.dialogs.answers << folder;
    rig.button(operation == QLatin1String("compare") ? "cmdCompare"
               : operation == QLatin1String("upload") ? "cmdUpload"
               : operation == QLatin1String("backup") ? "cmdBackup"
                                                      : "cmdRestore")
        ->click();
    if (!pullAt.isEmpty()) {
        QTRY_VERIFY(rig.sim->commands().contains(pullAt));
        rig.sim->pullCable();
    }
    QVERIFY(rig.idle());
    QTest::qWait(50); // and whatever follows it (the channels read again)
    QVERIFY(rig.idle());
    const QString status = rig.window->findChild<QLabel *>(QStringLiteral("lblStatus"))->text();
    QVERIFY2(!status.isEmpty() && status.startsWith(said), qPrintable(status));
    if (operation == QLatin1String("backup"))
        QVERIFY(!QFile::exists(folder));
    if (operation == QLatin1String("restore"))
        QCOMPARE(int(rig.sim->commands().size()), before); // nothing sent
    QVERIFY(!rig.window->findChild<CompareView *>());
    QVERIFY(rig.uploaded.isEmpty());
    QTRY_VERIFY(rig.button("cmdBackup")->isEnabled());
}

QTEST_MAIN(TestControllerWindow)
#include "tst_controller_window.moc"
