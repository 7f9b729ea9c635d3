#include "link/AppContext.h"
#include "link/BackupFolder.h"
#include "link/Channel.h"
#include "link/ControllerJobs.h"
#include "link/UploadSession.h"
#include "program/ProgramFile.h"
#include "program/StepDiff.h"
#include "support/EnglishRun.h"
#include "support/ScriptedPresenter.h"
#include "support/SimLine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

// A run against the simulated controller, built as the editor builds it.
struct Station
{
    explicit Station(const QStringList &faults = {}, int axes = 2) : sim(startSimulator(faults)), ctx(presenter)
    {
        buildEnglishRun(ctx, dir, axes, sim->devicePath());
        ctx.link.intervals = {300ms, 20ms, 300ms};
    }
    // Runs the job to its end; with `pullAt`, the cable is pulled as soon
    // as the controller has received that command.
    bool await(ChannelJob &job, const QString &pullAt = {})
    {
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
            if (!pullAt.isEmpty() && sim->commands().contains(pullAt)) {
                sim->pullCable();
                watch.stop();
            }
        });
        watch.start(1);
        // An event loop rather than QTest's polling, which sleeps between
        // looks and would stretch every exchange.
        QEventLoop loop;
        QObject::connect(&job, &ChannelJob::busyChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        if (job.busy())
            loop.exec();
        return !job.busy();
    }
    QList<ProgStep> steps(const QStringList &lines) const
    {
        QList<ProgStep> out;
        for (const QString &l : lines) {
            ProgStep step;
            QString why;
            if (!ProgramFile::readStepLine(ctx.catalogue, l, int(l.count(u',')) + 1, &step, &why))
                qFatal("bad step %s: %s", qPrintable(l), qPrintable(why));
            out << step;
        }
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<SimController> sim;
    ScriptedPresenter presenter;
    AppContext ctx;
};

// What the controller holds in the tests: channel 1 and 4 hold programs.
const QStringList kOne{"H:A|H:B", "AGO:A1000|AGO:B-500", "W:5"};
const QStringList kFour{"R:A20|R:B30", "U01:00"};

void loadController(SimController &sim)
{
    sim.setProgram(1, kOne);
    sim.setProgram(4, kFour);
}

// A row of the compare: "=" same, "~ B" changed on axis B, "-" only in the
// channel, "+" only in the file, each with the step indexes it joins.
QStringList rowsOf(const StepDiff &diff)
{
    QStringList out;
    for (const StepDiff::Row &r : diff.rows()) {
        QString axes;
        for (int a : r.axes)
            axes += StepDiff::axisLetter(a);
        const char *kind[] = {"=", "~", "-", "+"};
        out << QStringLiteral("%1 %2 %3%4").arg(QLatin1String(kind[r.kind])).arg(r.left).arg(r.right)
                   .arg(axes.isEmpty() ? QString() : u' ' + axes);
    }
    return out;
}

QStringList entries(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestController : public QObject
{
    Q_OBJECT

private slots:
    void stepDiff_data();
    void stepDiff();
    void channelList_data();
    void channelList();
    void survey();
    void uploadChannels();
    void backupRestoreCompare();
    void faults_data();
    void faults();
    void badBackups_data();
    void badBackups();
};

void TestController::stepDiff_data()
{
    QTest::addColumn<QStringList>("channel");
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QStringList>("rows");

    const QStringList prog{"H:,H:", "AGO:100,AGO:200", "R:5,R:6", "W:3,U00:"};
    QTest::newRow("equal") << prog << prog << QStringList{"= 0 0", "= 1 1", "= 2 2", "= 3 3"};
    QTest::newRow("numbers by value") << QStringList{"AGO:0100,AGO:-007"} << QStringList{"AGO:100,AGO:-7"}
                                      << QStringList{"= 0 0"};
    QTest::newRow("one cell changed")
        << prog << QStringList{"H:,H:", "AGO:100,AGO:120", "R:5,R:6", "W:3,U00:"}
        << QStringList{"= 0 0", "~ 1 1 B", "= 2 2", "= 3 3"};
    QTest::newRow("one step inserted is one difference")
        << prog << QStringList{"H:,H:", "W:9,U00:", "AGO:100,AGO:200", "R:5,R:6", "W:3,U00:"}
        << QStringList{"= 0 0", "+ -1 1", "= 1 2", "= 2 3", "= 3 4"};
    QTest::newRow("one step missing") << prog << QStringList{"H:,H:", "R:5,R:6", "W:3,U00:"}
                                      << QStringList{"= 0 0", "- 1 -1", "= 2 1", "= 3 2"};
    QTest::newRow("changed and missing in one gap")
        << prog << QStringList{"H:,H:", "AGO:1,AGO:1", "W:3,U00:"}
        << QStringList{"= 0 0", "~ 1 1 AB", "- 2 -1", "= 3 2"};
    QTest::newRow("empty channel") << QStringList() << QStringList{"H:,H:", "W:3,U00:"}
                                   << QStringList{"+ -1 0", "+ -1 1"};
}

void TestController::stepDiff()
{
    QFETCH(QStringList, channel);
    QFETCH(QStringList, file);
    QFETCH(QStringList, rows);
    Station s;
    const StepDiff diff(s.ctx.catalogue, s.steps(channel), s.steps(file));
    QCOMPARE(rowsOf(diff), rows);
    QCOMPARE(diff.equal(), diff.differences().isEmpty());
}

void TestController::channelList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("channels");
    QTest::newRow("list and range") << "1,3-5" << QList<int>{1, 3, 4, 5};
    QTest::newRow("sorted, each once") << "5, 1,5" << QList<int>{1, 5};
    QTest::newRow("all") << "1-15" << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (const char *bad : {"0", "16", "3-1", "1,,2", "", "a", "2-", "-3"})
        QTest::newRow(qPrintable(QStringLiteral("refused \"%1\"").arg(QLatin1String(bad))))
            << QString::fromLatin1(bad) << QList<int>{};
}

void TestController::channelList()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, channels);
    QCOMPARE(Channel::parseList(text), channels);
}

void TestController::survey()
{
    Station s;
    loadController(*s.sim);
    ChannelSurvey survey(s.ctx);
    survey.start();
    QVERIFY(s.await(survey));
    QVERIFY(survey.result().ok());
    QCOMPARE(survey.steps(1), 3);
    QCOMPARE(survey.steps(4), 2);
    QCOMPARE(survey.steps(2), 0);
    // One reset, then every channel's state in one opening.
    QCOMPARE(s.sim->commands().size(), 16);
    QVERIFY(s.presenter.shown.isEmpty());
}

void TestController::uploadChannels()
{
    Station s;
    loadController(*s.sim);
    ChannelsUpload upload(s.ctx);
    QList<int> got;
    connect(&upload, &ChannelsUpload::uploaded, &upload, [&](const UploadSession &session) {
        QVERIFY(session.hasProgram());
        got << session.channel() << session.stepCount();
    });
    upload.start({1, 4});
    QVERIFY(s.await(upload));
    QVERIFY2(upload.result().ok(), qPrintable(upload.result().reason));
    QCOMPARE(got, (QList<int>{1, 3, 4, 2}));
}

// A backup, a compare with it and a restore into an emptied controller.
void TestController::backupRestoreCompare()
{
    Station s;
    loadController(*s.sim);
    const QString folder = s.dir.filePath(QStringLiteral("line4"));
    BackupSession backup(s.ctx);
    QList<int> told;
    connect(&backup, &BackupSession::channelSaved, &backup, [&](int ch, int) { told << ch; });
    QVERIFY(backup.start(folder, 0));
    QVERIFY(s.await(backup));
    QVERIFY2(backup.result().ok(), qPrintable(backup.result().reason));
    QCOMPARE(told, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    QCOMPARE(entries(folder), (QStringList{"backup.ini", "CH01.txt", "CH04.txt"}));
    QCOMPARE(entries(s.dir.path()), (QStringList{"LANG1.DAT", "line4"})); // no partial folder left
    QFile file(QDir(folder).filePath(QStringLiteral("CH01.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes, QByteArray("AXIS=2\r\nH:,H:\r\nAGO:1000,AGO:-500\r\nW:5,U00:\r\n"));
    const BackupFolder::Contents contents = BackupFolder::read(folder, s.ctx.catalogue, 2, 200, s.ctx.run.langIni);
    QVERIFY2(contents.ok(), qPrintable(contents.problems.join(u'\n')));
    QCOMPARE(contents.manifest.channels.size(), 15);
    QCOMPARE(contents.manifest.channels.at(0).sha256,
             QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    QCOMPARE(contents.programs.keys(), (QList<int>{1, 4}));

    CompareSession compare(s.ctx);
    compare.start(1, contents.programs.value(1), 2);
    QVERIFY(s.await(compare));
    QVERIFY(StepDiff(s.ctx.catalogue, compare.channelSteps(), compare.program()).equal());

    s.sim->setProgram(1, {});
    s.sim->setProgram(4, {"W:1"});
    RestoreSession restore(s.ctx);
    QVERIFY(restore.check(folder, {}));
    restore.start();
    QVERIFY(s.await(restore));
    QVERIFY2(restore.result().ok(), qPrintable(restore.result().reason));
    QCOMPARE(s.sim->program(1), (QStringList{"H:A|H:B", "AGO:A1000|AGO:B-500", "W:5|U00:"}));
    QCOMPARE(s.sim->program(4), kFour);
    QCOMPARE(restore.outcome(4), RestoreSession::ChannelOutcome::Restored);
    QVERIFY(s.presenter.shown.isEmpty()); // one report, the job's, instead of a box per channel
    QVERIFY(!s.ctx.messages.held());
}

// Faults on the line during each job: it ends at once with the reason, and
// says which channel; a backup leaves no folder behind, a restore says
// which channels hold what.
void TestController::faults_data()
{
    QTest::addColumn<QString>("job");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("pullAt");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("channel"); // backup: the channel named; restore: the outcomes
    QTest::addColumn<QString>("outcomes");

    using O = LinkSession::Outcome;
    QTest::newRow("backup, cable pulled") << "backup" << QStringList{"baud:2400"} << "UPLOAD:04"
                                          << int(O::PortFailed) << 4 << "";
    QTest::newRow("backup, silence") << "backup" << QStringList{"silent:UPLOAD#2"} << ""
                                     << int(O::NoAnswer) << 4 << "";
    QTest::newRow("backup, error reply") << "backup" << QStringList{"fail:UPLOAD#1=!3"} << ""
                                         << int(O::ErrorReply) << 1 << "";
    QTest::newRow("backup, state silent") << "backup" << QStringList{"silent:CHINF#6"} << ""
                                          << int(O::NoAnswer) << 6 << "";
    QTest::newRow("restore, cable pulled") << "restore" << QStringList{"baud:2400"} << "LOAD:04"
                                           << int(O::PortFailed) << 0 << "R I";
    QTest::newRow("restore, error reply") << "restore" << QStringList{"fail:LOAD#2=!4"} << ""
                                          << int(O::ErrorReply) << 0 << "R I";
    // The third state request opens the read-back of channel 1.
    QTest::newRow("restore, read-back silent") << "restore" << QStringList{"silent:CHINF#3"} << ""
                                               << int(O::NoAnswer) << 0 << "I U";
    QTest::newRow("compare, cable pulled") << "compare" << QStringList{"baud:2400"} << "UPLOAD:01"
                                           << int(O::PortFailed) << 0 << "";
}

void TestController::faults()
{
    QFETCH(QString, job);
    QFETCH(QStringList, faults);
    QFETCH(QString, pullAt);
    QFETCH(int, outcome);
    QFETCH(int, channel);
    QFETCH(QString, outcomes);

    // The backup restored is made on a sound line first.
    QTemporaryDir work;
    const QString saved = work.filePath(QStringLiteral("saved"));
    {
        Station s;
        loadController(*s.sim);
        BackupSession backup(s.ctx);
        backup.start(saved, 2);
        QVERIFY(s.await(backup));
        QVERIFY(backup.result().ok());
    }
    Station s(faults);
    loadController(*s.sim);
    const QString folder = work.filePath(QStringLiteral("new"));
    if (job == QLatin1String("backup")) {
        BackupSession backup(s.ctx);
        backup.start(folder, 2);
        QVERIFY(s.await(backup, pullAt));
        QCOMPARE(int(backup.result().outcome), outcome);
        QCOMPARE(backup.channel(), channel);
        QCOMPARE(entries(work.path()), QStringList{"saved"}); // nothing, not even a partial folder
    } else if (job == QLatin1String("restore")) {
        RestoreSession restore(s.ctx);
        QVERIFY(restore.check(saved, {}));
        restore.start();
        QVERIFY(s.await(restore, pullAt));
        QCOMPARE(int(restore.result().outcome), outcome);
        QStringList got;
        for (int ch : restore.channels())
            got << QStringLiteral("URI").at(int(restore.outcome(ch)));
        QCOMPARE(got.join(u' '), outcomes);
    } else {
        CompareSession compare(s.ctx);
        compare.start(1, s.steps({"H:,H:"}), 2);
        QVERIFY(s.await(compare, pullAt));
        QCOMPARE(int(compare.result().outcome), outcome);
    }
    QVERIFY(s.presenter.shown.isEmpty());
    QVERIFY(!s.ctx.messages.held());
    QVERIFY(!s.ctx.link.isOpen());
}

// A backup folder that is not whole is refused before anything is sent.
void TestController::badBackups_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("runAxes");
    QTest::addColumn<QString>("problem");
    QTest::newRow("file missing") << "rm CH04.txt" << 2 << "channel 4: CH04.txt";
    QTest::newRow("file altered") << "edit CH01.txt" << 2 << "channel 1: CH01.txt has changed";
    QTest::newRow("more axes than the run") << "" << 1 << "the backup holds 2-axis programs";
    QTest::newRow("no manifest") << "rm backup.ini" << 2 << "no backup.ini";
    QTest::newRow("channel not in the backup") << "channels 2" << 2 << "channel 2: the backup holds no program";
}

void TestController::badBackups()
{
    QFETCH(QString, change);
    QFETCH(int, runAxes);
    QFETCH(QString, problem);
    Station s;
    loadController(*s.sim);
    const QString folder = s.dir.filePath(QStringLiteral("saved"));
    BackupSession backup(s.ctx);
    backup.start(folder, 2);
    QVERIFY(s.await(backup));
    // Into an existing folder, a backup is refused before it starts.
    BackupSession again(s.ctx);
    QVERIFY(!again.start(folder, 2));
    QVERIFY(again.result().reason.contains(QLatin1String("exists")));

    const QString target = QDir(folder).filePath(change.section(u' ', 1));
    if (change.startsWith(QLatin1String("rm")))
        QVERIFY(QFile::remove(target));
    if (change.startsWith(QLatin1String("edit"))) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::Append));
        f.write("W:1,U00:\r\n");
    }
    const QList<int> channels = change.startsWith(QLatin1String("channels")) ? QList<int>{2} : QList<int>{};
    s.ctx.setControllerType(runAxes);
    const int before = int(s.sim->commands().size());
    RestoreSession restore(s.ctx);
    QVERIFY(!restore.check(folder, channels));
    QVERIFY2(restore.problems().join(u'\n').contains(problem), qPrintable(restore.problems().join(u'\n')));
    restore.start();
    QVERIFY(!restore.busy());
    QCOMPARE(int(restore.result().outcome), int(LinkSession::Outcome::Refused));
    QCOMPARE(int(s.sim->commands().size()), before); // nothing sent
}

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
