#include "support/SimLine.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The environment of a run of velomat-cli: `home` as its program folder,
// with both language files, and an English locale.
QProcessEnvironment cliEnvironment(const QTemporaryDir &home)
{
    for (const char *name : {"LANG0.DAT", "LANG1.DAT"})
        QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/") + QLatin1String(name),
                    home.filePath(QLatin1String(name)));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELOMAT_HOME"), home.path());
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    return env;
}

} // namespace

// velomat-cli as a script sees it: the real program against the simulated
// controller, one row per operation and line.
class TestCliLink : public QObject
{
    Q_OBJECT

private slots:
    void cliAgainstSimulator_data();
    void cliAgainstSimulator();
    void cliTransfers_data();
    void cliTransfers();
    void backupAndRestore();
};

void TestCliLink::cliAgainstSimulator_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("ping") << QStringList{"ping"} << QStringList() << 0 << "ok\n" << "";
    QTest::newRow("ping, error reply") << QStringList{"ping"} << QStringList{"fail:CHINF=!5"} << 1 << ""
                                       << "error reply !5";
    QTest::newRow("status of an empty channel") << QStringList{"status", "--channel", "4"} << QStringList()
                                                 << 0 << "N\n" << "";
    QTest::newRow("status, error reply") << QStringList{"status"} << QStringList{"fail:CHINF=!2"} << 1 << ""
                                         << "error reply !2";
    // Line ends: every operation finds out the controller's own, and an LF
    // that comes late is never taken for the start of the next answer.
    for (const char *line : {"eol:lf", "lf-delay:5", "lf-delay:40"}) {
        QTest::addRow("ping, %s", line) << QStringList{"ping"} << QStringList{line} << 0 << "ok\n" << "";
        QTest::addRow("status, %s", line)
            << QStringList{"status", "--channel", "4"} << QStringList{line} << 0 << "N\n" << "";
        QTest::addRow("run refused, %s", line) << QStringList{"run", "--channel", "3"}
            << QStringList{line, "fail:LOAD=!5"} << 1 << "" << "error reply !5";
        QTest::addRow("ping, error reply, %s", line)
            << QStringList{"ping"} << QStringList{line, "fail:CHINF=!3"} << 1 << "" << "error reply !3";
    }
    // A slow line: the reset's answer comes after any fixed pause would
    // have ended, and is still not taken for the next command's.
    for (const char *baud : {"baud:150", "baud:600"})
        QTest::addRow("status at %s", baud) << QStringList{"status", "--channel", "4"} << QStringList{baud}
                                            << 0 << "N\n" << "";
    QTest::newRow("status, error reply at 600 baud")
        << QStringList{"status", "--channel", "4"} << QStringList{"baud:600", "fail:CHINF=!7"} << 1 << ""
        << "error reply !7";
    QTest::newRow("port not there") << QStringList{"ping", "--port", "/nonexistent/tty"} << QStringList()
                                    << 4 << "" << "/nonexistent/tty: not present";
    // One language for the run: the option, else the locale.
    const QString notPresentJa = QString::fromUtf16(u"/nonexistent/tty: 見つかりません");
    QTest::newRow("port not there, --lang 0")
        << QStringList{"ping", "--lang", "0", "--port", "/nonexistent/tty"} << QStringList() << 4 << ""
        << notPresentJa;
    QTest::newRow("port not there, Japanese locale")
        << QStringList{"LANG=ja_JP.UTF-8", "ping", "--port", "/nonexistent/tty"} << QStringList() << 4
        << "" << notPresentJa;
    QTest::newRow("port not there, --lang 1 in a Japanese locale")
        << QStringList{"LC_ALL=ja_JP.UTF-8", "ping", "--lang", "1", "--port", "/nonexistent/tty"}
        << QStringList() << 4 << "" << "/nonexistent/tty: not present";
    QTest::newRow("--lang 2") << QStringList{"ping", "--lang", "2"} << QStringList() << 2 << ""
                              << "velomat-cli: --lang takes 0 or 1, not \"2\"";
}

// velomat-cli as a script sees it: the real program against the simulator.
void TestCliLink::cliAgainstSimulator()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, faults);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const auto sim = startSimulator(faults);
    const QTemporaryDir home;
    QProcess cli;
    QProcessEnvironment env = cliEnvironment(home);
    // The locale is the row's (NAME=value words), else an English one.
    while (!args.isEmpty() && args.first().contains(u'=')) {
        const QString setting = args.takeFirst();
        env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    }
    cli.setProcessEnvironment(env);
    if (!args.contains(QStringLiteral("--port")))
        args << QStringLiteral("--port") << sim->devicePath();
    cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velomat-cli"), args);
    // The simulator answers from this process's event loop meanwhile.
    QSignalSpy finished(&cli, &QProcess::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(cli.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), out);
    const QString stderrText = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(err.isEmpty() ? stderrText.isEmpty() : stderrText.startsWith(err), qPrintable(stderrText));
}

void TestCliLink::cliTransfers_data()
{
    QTest::addColumn<QStringList>("args");   // "FILE" stands for the program file
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");     // the start of stdout
    QTest::addColumn<QString>("err");        // the start of stderr
    QTest::addColumn<QStringList>("channel2"); // what channel 2 holds afterwards

    const QByteArray three = "AXIS=2\r\nH:,H:\r\nAGO:1000,AGO:-500\r\n#:END\xB1,U00:\r\n";
    const QStringList sent{"H:A|H:B", "AGO:A1000|AGO:B-500", QString::fromUtf16(u"#:END\uFF71")};
    const QStringList none;
    QTest::newRow("download") << QStringList{"download", "--channel", "2", "FILE"} << three << none << 0
                              << QByteArray() << "step 1/3" << sent;
    QTest::newRow("download --verify")
        << QStringList{"download", "--verify", "--channel", "2", "FILE"} << three << none << 0
        << QByteArray("verified\n") << "step 1/3" << sent;
    QTest::newRow("--verify finds a difference")
        << QStringList{"download", "--verify", "--channel", "2", "FILE"}
        << QByteArray("AXIS=2\r\nU04:,H:\r\n") << none << 3 << QByteArray() << "step 1/1"
        << QStringList{"U04:|H:B"};
    QTest::newRow("a refused file is never sent")
        << QStringList{"download", "--channel", "2", "FILE"} << QByteArray("AXIS=2\r\nH:,H:\r\nAGO:x,H:\r\n")
        << none << 1 << QByteArray() << "FILE:3:" << none;
    QTest::newRow("error reply to step 2: no PGWRT:")
        << QStringList{"download", "--channel", "2", "FILE"} << three << QStringList{"fail-step:1=!5"} << 1
        << QByteArray() << "step 1/3" << none;
    QTest::newRow("upload back into a file")
        << QStringList{"upload", "--axes", "2", "--channel", "2"} << three << none << 0
        << QByteArray("AXIS=2\r\nH:,H:\r\nAGO:1000,AGO:-500\r\n#:END\xB1,#:END\xB1\r\n") << "" << sent;
    QTest::newRow("upload of a value the file reader refuses: written, listed, exit 1")
        << QStringList{"upload", "--channel", "4"} << three << none << 1
        << QByteArray("AXIS=1\r\nW:0\r\n") << "uploaded line 1, step 000 axis 1:" << sent;
    QTest::newRow("upload without --axes keeps every axis; a smaller --axes is refused")
        << QStringList{"upload", "--axes", "1", "--channel", "2"} << three << none << 1 << QByteArray()
        << "channel 02 holds a program of 2 axes and 3 steps: --axes 1 would leave out axis B" << sent;
    QTest::newRow("a program without steps is refused before LOAD:")
        << QStringList{"download", "--channel", "2", "FILE"} << QByteArray("AXIS=2\r\n") << none << 1
        << QByteArray() << "FILE: the program has no steps" << none;
    QTest::newRow("upload of a line it cannot read, NG: unanswered: over within the time-out")
        << QStringList{"upload", "--channel", "5"} << three << QStringList{"silent:NG"} << 1 << QByteArray()
        << "uploaded line 1 refused: XYZ:1" << sent;
    QTest::newRow("upload of an empty channel") << QStringList{"upload", "--channel", "3"} << three << none << 1
                                                << QByteArray() << "channel 03 holds no program" << sent;
    QTest::newRow("diff, equal") << QStringList{"diff", "--channel", "2", "FILE"} << three << none << 0
                                 << QByteArray() << "channel 02 holds the same program" << sent;
    QTest::newRow("diff, one line per difference")
        << QStringList{"diff", "--channel", "2", "FILE"}
        << QByteArray("AXIS=2\r\nH:,H:\r\nAGO:1000,AGO:-400\r\n#:END\xB1,U00:\r\n") << none << 3
        << QByteArray("step 001 axis B: channel \"AGO:B-500\" file \"AGO:B-400\"\n") << "" << sent;
    QTest::newRow("backup names the channel it could not save")
        << QStringList{"backup", "bk"} << three << none << 1
        << QByteArray("channel 01: empty\nchannel 02: 3 steps\nchannel 03: empty\n") << "channel 4: step 000 axis 1:"
        << sent;
    QTest::newRow("restore checks the backup before it sends") << QStringList{"restore", "FILE"} << three << none
                                                               << 1 << QByteArray() << "FILE: no backup.ini" << sent;
    QTest::newRow("run") << QStringList{"run", "--channel", "7"} << three << none << 0 << QByteArray() << ""
                         << sent;
    // Controllers that end their lines with LF alone, adapters that deliver
    // the LF late, a line slower than the usual one.
    for (const char *line : {"eol:lf", "lf-delay:5", "lf-delay:40", "baud:4800"}) {
        QTest::addRow("download --verify, %s", line)
            << QStringList{"download", "--verify", "--channel", "2", "FILE"} << three << QStringList{line}
            << 0 << QByteArray("verified\n") << "step 1/3" << sent;
        QTest::addRow("upload, %s", line)
            << QStringList{"upload", "--channel", "2"} << three << QStringList{line} << 0
            << QByteArray("AXIS=2\r\nH:,H:\r\n") << "" << sent;
    }
}

// The transfers of velomat-cli against the simulator; channel 2 holds the
// program "three" before every row but the downloads.
void TestCliLink::cliTransfers()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, faults);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QString, err);
    QFETCH(QStringList, channel2);

    const auto sim = startSimulator(faults);
    if (args.first() != QLatin1String("download"))
        sim->setProgram(2, {"H:A|H:B", "AGO:A1000|AGO:B-500", QString::fromUtf16(u"#:END\uFF71")});
    sim->setProgram(4, {"W:0"});
    sim->setProgram(5, {"XYZ:1"});
    const QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("FILE"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    QProcess cli;
    QProcessEnvironment env = cliEnvironment(home);
    env.insert(QStringLiteral("VELOMAT_TIMING"), QStringLiteral("reply=500"));
    cli.setProcessEnvironment(env);
    cli.setWorkingDirectory(home.path());
    cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velomat-cli"),
              args + QStringList{"--port", sim->devicePath()});
    QSignalSpy finished(&cli, &QProcess::finished);
    QVERIFY(finished.wait(20000));
    const QString stderrText = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(stderrText));
    QVERIFY2(cli.readAllStandardOutput().startsWith(out), qPrintable(stderrText));
    QVERIFY2(err.isEmpty() ? stderrText.isEmpty() : stderrText.startsWith(err), qPrintable(stderrText));
    QCOMPARE(sim->program(2), channel2);
    if (args.first() == QLatin1String("run"))
        QCOMPARE(sim->runningChannel(), 7);
    if (exitCode == 1 && args.first() == QLatin1String("download") && !stderrText.startsWith("step"))
        QVERIFY(sim->commands().isEmpty()); // refused before anything was sent
}

// A backup of the controller, and a restore of one channel from it.
void TestCliLink::backupAndRestore()
{
    const auto sim = startSimulator({});
    const QStringList program{"H:A|H:B", "AGO:A1000|AGO:B-500"};
    sim->setProgram(2, program);
    sim->setProgram(9, {"W:5"});
    const QTemporaryDir home;
    const auto run = [&](const QStringList &args, int exitCode, const QString &lastLine) {
        QProcess cli;
        cli.setProcessEnvironment(cliEnvironment(home));
        cli.setWorkingDirectory(home.path());
        cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velomat-cli"),
                  args + QStringList{"--port", sim->devicePath()});
        QSignalSpy finished(&cli, &QProcess::finished);
        QVERIFY(finished.wait(20000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(cli.exitCode() == exitCode, qPrintable(err));
        QVERIFY2(QString::fromUtf8(cli.readAllStandardOutput()).endsWith(lastLine), qPrintable(err));
    };
    run({"backup", "bk"}, 0, QStringLiteral("channel 15: empty\nbackup complete: bk\n"));
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("bk/CH09.txt"))));
    sim->setProgram(2, {});
    sim->setProgram(9, {"W:6"});
    run({"restore", "bk", "--channels", "2"}, 0,
        QStringLiteral("channel 02: restored and verified, 2 steps\nrestore complete\n"));
    QCOMPARE(sim->program(2), program);
    QCOMPARE(sim->program(9), QStringList{"W:6"}); // not chosen, not touched
}

QTEST_GUILESS_MAIN(TestCliLink)
#include "tst_cli_link.moc"
