#include "config/TextCodec.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

// velomat-cli as scripts see it: the real binary run with arguments in a
// folder of program files, judged by exit code, stdout and stderr.
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void version_data();
    void version();
    void commandLine_data();
    void commandLine();
    void show_data();
    void show();
    void showStepLimit();
    void help();

private:
    struct Result
    {
        int exitCode = -1;
        QStringList out;
        QStringList err;
    };
    Result run(const QStringList &args, const QString &home) const;
    void writeProgram(const QString &name, const QStringList &lines) const;
    QString makeHome(const QString &name, const QByteArray &langFile) const;

    QString m_cli;
    QTemporaryDir m_dir;
    QString m_files;
    QString m_langHome;
    QStringList m_homes; // every kind of program folder; the output must not differ
};

namespace {

QStringList repeated(const QString &line, int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << line;
    return lines;
}

// A language file whose command names the document cannot tell apart.
QByteArray toolSection(const std::function<QString(int)> &name)
{
    QString text = QStringLiteral("[Tool]\r\n");
    for (int cmd = 1; cmd <= 17; ++cmd)
        text += QStringLiteral("Mes%1=%2\r\n").arg(cmd, 3, 10, QChar(u'0')).arg(name(cmd));
    return TextCodec::encode(text);
}

} // namespace

void TestCli::initTestCase()
{
    m_cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velomat-cli");
    QVERIFY2(QFileInfo::exists(m_cli), qPrintable(m_cli));
    QVERIFY(m_dir.isValid());
    m_files = m_dir.filePath(QStringLiteral("files"));
    QVERIFY(QDir().mkpath(m_files + QStringLiteral("/folder")));

    QFile lang(QStringLiteral(VELOMAT_LANG_DIR "/LANG0.DAT"));
    QVERIFY(lang.open(QIODevice::ReadOnly));
    m_langHome = makeHome(QStringLiteral("lang"), lang.readAll());
    m_homes = {
        m_langHome,
        makeHome(QStringLiteral("none"), QByteArray()),
        makeHome(QStringLiteral("same"), toolSection([](int) { return QStringLiteral("Befehl"); })),
        makeHome(QStringLiteral("comma"), toolSection([](int cmd) {
                     return cmd == 1 ? QStringLiteral("move, absolute") : QStringLiteral("cmd%1").arg(cmd);
                 })),
    };

    writeProgram(QStringLiteral("one.txt"), {"AXIS=1", "H:", "AGO:1000", "W:10", "U99:"});
    writeProgram(QStringLiteral("two.txt"), {"AXIS=2", "H:,H:", "", "D:100:5000:200,D:100:5000:200",
                                             "   ", "AGO:10000,AGO:-500", "W:10,U00:", "#:END,U00:"});
    writeProgram(QStringLiteral("three.txt"), {"AXIS=3", "AGO:1000,AGO:-500,AGO:0", "H:,H:,H:"});
    writeProgram(QStringLiteral("badheader.txt"), {"AXIS=4", "H:"});
    writeProgram(QStringLiteral("badcell.txt"), {"AXIS=2", "H:,H:", "", "D:500:100:10,U00:"});
    writeProgram(QStringLiteral("cellcount.txt"), {"AXIS=3", "AGO:100,H:"});
    writeProgram(QStringLiteral("dbcs.txt"), {"AXIS=1", QStringLiteral(u"#:漢字")});
    writeProgram(QStringLiteral("lintclean.txt"), {"AXIS=1", "D:100:5000:200", "AGO:5", "U99:"});
    writeProgram(QStringLiteral("lintbad.txt"), {"AXIS=2", "D:100:5000:200,D:100:5000:200",
                                                 "U02:C:1:150,U02:C:1:150", "AGO:5,AGO:6", "U99:,U00:"});
    // 150 step lines for one axis; the junk after step 100 is never read.
    writeProgram(QStringLiteral("long1.txt"),
                 QStringList{"AXIS=1"} + repeated("U00:", 110) + QStringList{"junk"} + repeated("U00:", 39));
    writeProgram(QStringLiteral("long2.txt"), QStringList{"AXIS=2"} + repeated("H:,H:", 250));
    QFile empty(m_files + QStringLiteral("/empty.txt"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
}

QString TestCli::makeHome(const QString &name, const QByteArray &langFile) const
{
    const QString home = m_dir.filePath(name);
    QDir().mkpath(home);
    if (!langFile.isNull()) {
        QFile f(home + QStringLiteral("/LANG0.DAT"));
        if (f.open(QIODevice::WriteOnly))
            f.write(langFile);
    }
    return home;
}

void TestCli::writeProgram(const QString &name, const QStringList &lines) const
{
    QFile f(m_files + u'/' + name);
    if (f.open(QIODevice::WriteOnly))
        f.write(TextCodec::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
}

TestCli::Result TestCli::run(const QStringList &args, const QString &home) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELOMAT_HOME"), home);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_files);
    p.start(m_cli, args);
    Result r;
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    // UTF-8 lines, each ended by a bare "\n".
    auto lines = [](const QString &text) {
        QStringList l = text.split(u'\n');
        if (l.last().isEmpty())
            l.removeLast();
        else
            l << QStringLiteral("<missing line end>");
        return l;
    };
    // The transmission texts are the bytes the controller is sent (code
    // page 932); the messages are UTF-8.
    r.out = lines(TextCodec::decode(p.readAllStandardOutput()));
    r.err = lines(QString::fromUtf8(p.readAllStandardError()));
    return r;
}

void TestCli::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QStringList>("errPrefixes"); // one per stderr line, in order

    const QString oneOk = QStringLiteral("one.txt: ok, 4 steps, 1 axes");
    const QString threeOk = QStringLiteral("three.txt: ok, 2 steps, 3 axes");
    auto row = [](const char *name, const QStringList &args, int code, const QStringList &out,
                  const QStringList &err) { QTest::newRow(name) << args << code << out << err; };

    row("one axis", {"check", "one.txt"}, 0, {oneOk}, {});
    row("two axes, blank lines skipped", {"check", "two.txt"}, 0, {"two.txt: ok, 5 steps, 2 axes"}, {});
    row("three axes, --axes as the header", {"check", "--axes", "3", "three.txt"}, 0, {threeOk}, {});
    row("FILE echoed as given", {"check", "./one.txt"}, 0, {"./one.txt: ok, 4 steps, 1 axes"}, {});
    row("several files in order", {"check", "three.txt", "one.txt"}, 0, {threeOk, oneOk}, {});

    row("header AXIS=4", {"check", "badheader.txt"}, 1, {}, {"badheader.txt:1: "});
    row("empty file", {"check", "empty.txt"}, 1, {}, {"empty.txt:1: "});
    row("--axes 2 on a three-axis file", {"check", "--axes", "2", "three.txt"}, 1, {}, {"three.txt:1: "});
    row("bad cell, blank line counted", {"check", "badcell.txt"}, 1, {}, {"badcell.txt:4: "});
    row("two cells for three axes", {"check", "cellcount.txt"}, 1, {}, {"cellcount.txt:2: "});
    row("reason quotes the cell in UTF-8", {"check", "dbcs.txt"}, 1, {},
        {QStringLiteral(u"dbcs.txt:2: axis 1, cell \"#:漢字\"")});
    row("one refused among good ones", {"check", "one.txt", "badcell.txt", "three.txt"}, 1,
        {oneOk, threeOk}, {"badcell.txt:4: "});
    row("missing file", {"check", "missing.txt", "one.txt"}, 1, {oneOk}, {"missing.txt: "});
    row("folder instead of a file", {"check", "folder"}, 1, {}, {"folder: "});
    row("show of a refused file", {"show", "badcell.txt"}, 1, {}, {"badcell.txt:4: "});

    row("150 steps, --axes 1: 100, rest unread", {"check", "--axes", "1", "long1.txt"}, 0,
        {"long1.txt: ok, 100 steps, 1 axes"}, {"long1.txt: warning: 50 step lines after step 100 ignored"});
    row("150 steps, one-axis header: 100", {"check", "long1.txt"}, 0, {"long1.txt: ok, 100 steps, 1 axes"},
        {"long1.txt: warning: 50 step lines after step 100 ignored"});
    row("250 steps, two axes: 200", {"check", "long2.txt"}, 0, {"long2.txt: ok, 200 steps, 2 axes"},
        {"long2.txt: warning: 50 step lines after step 200 ignored"});

    // lint in English. This home has no LANG1.DAT: the texts are the
    // built-in English ones, which tst_problems keeps equal to the file's.
    const QString oneInfo = QStringLiteral("one.txt: step 000 axis A: H: moves the axis before any "
                                           "speed is set for it (D:, or P: 8 to 10)");
    row("lint: no problem", {"lint", "--lang", "1", "lintclean.txt"}, 0, {}, {});
    row("lint: information only", {"lint", "--lang", "1", "one.txt"}, 0, {oneInfo}, {});
    row("lint --strict: information fails", {"lint", "--strict", "--lang", "1", "one.txt"}, 1,
        {oneInfo}, {});
    row("lint: warnings, and a refused file",
        {"lint", "--lang", "1", "lintbad.txt", "badcell.txt", "lintclean.txt"}, 1,
        {"lintbad.txt: step 001 axis A: jump target 150 is past the last step 003",
         "lintbad.txt: step 001 axis A: input jump on axis C, which this program does not have"},
        {"badcell.txt:4: "});

    // preview under the default profile (100 pps, 5000 pps, 100 ms): AGO:1000
    // from 0 is 0.298 s; with D:100:5000:200, AGO:10000 is 2.196 s.
    row("preview: summary", {"preview", "one.txt"}, 0,
        {"cycle time: 1.298 s", "step 000  0.000 s", "step 001  0.000 s", "step 002  0.298 s",
         "step 003  1.298 s", "end position: A 1000", "stop: program end, U99: in step 003"}, {});
    row("preview --csv: positions as each step starts", {"preview", "--csv", "two.txt"}, 0,
        {"time,step,A,B", "0.000,000,0,0", "0.000,001,0,0", "0.000,002,0,0", "2.196,003,10000,-500",
         "3.196,004,10000,-500"}, {});

    const QStringList usage{"velomat-cli: "};
    row("no arguments", {}, 2, {}, usage);
    row("option but no command", {"--axes", "1"}, 2, {}, usage);
    row("unknown command", {"frob", "one.txt"}, 2, {}, usage);
    row("check without file", {"check"}, 2, {}, usage);
    row("show without file", {"show"}, 2, {}, usage);
    row("show with two files", {"show", "one.txt", "two.txt"}, 2, {}, usage);
    row("lint without file", {"lint"}, 2, {}, usage);
    row("--strict with check", {"check", "--strict", "one.txt"}, 2, {}, usage);
    row("--axes 0", {"check", "--axes", "0", "one.txt"}, 2, {}, usage);
    row("--axes 4", {"check", "--axes", "4", "one.txt"}, 2, {}, usage);
    row("--axes x", {"check", "--axes", "x", "one.txt"}, 2, {}, usage);
    row("--axes without value", {"check", "one.txt", "--axes"}, 2, {}, usage);
    row("unknown option", {"check", "--bogus", "one.txt"}, 2, {}, usage);
    row("ping takes no FILE", {"ping", "--port", "/dev/null", "one.txt"}, 2, {}, usage);
    row("--channel 16", {"status", "--channel", "16"}, 2, {}, usage);
    row("--baud 1200", {"ping", "--port", "/dev/null", "--baud", "1200"}, 2, {}, usage);
    row("download without FILE", {"download", "--port", "/dev/null"}, 2, {}, usage);
    row("--verify with upload", {"upload", "--verify", "--port", "/dev/null"}, 2, {}, usage);
    row("-o with run", {"run", "-o", "x.txt", "--port", "/dev/null"}, 2, {}, usage);
    row("not a serial port", {"ping", "--port", "/dev/null"}, 4, {}, {"/dev/null: not a serial port"});
}

void TestCli::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QStringList, errPrefixes);

    const Result r = run(args, m_langHome);
    QCOMPARE(r.out, out);
    QCOMPARE(r.err.size(), errPrefixes.size());
    for (int i = 0; i < errPrefixes.size(); ++i)
        QVERIFY2(r.err.at(i).startsWith(errPrefixes.at(i)), qPrintable(r.err.at(i)));
    QCOMPARE(r.exitCode, exitCode);
}

void TestCli::show_data()
{
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("AGO: on three axes")
        << QStringList{"AXIS=3", "AGO:1000,AGO:-500,AGO:0"}
        << QStringList{"000\tAGO:A1000|AGO:B-500|AGO:C0"};
    QTest::newRow("P:11 in axis 2, sign and eight digits")
        << QStringList{"AXIS=2", "U00:,P:11:-1234"} << QStringList{"000\tU00:|P:11B-00001234"};
    QTest::newRow("U01: sent once, two digits")
        << QStringList{"AXIS=2", "U01:5,U01:5"} << QStringList{"000\tU01:05"};
    QTest::newRow("D: in axis 1, U00: in axis 2")
        << QStringList{"AXIS=2", "D:1000:5000:100,U00:"} << QStringList{"000\tD:A1000,5000,100|U00:"};
    QTest::newRow("#: half-width katakana and colons kept")
        << QStringList{"AXIS=1", QStringLiteral(u"#:ｱｲｳ A:B")} << QStringList{QStringLiteral(u"000\t#:ｱｲｳ A:B")};
    // Bytes 80 A0 FD FE FF and a stray lead byte 81, as the codec reads them.
    const QString odd = QString::fromUtf16(u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3\xDC81");
    QTest::newRow("#: single bytes the converter would change, sent unchanged")
        << QStringList{"AXIS=1", "#:" + odd} << QStringList{"000\t#:" + odd};
    QTest::newRow("P:53 digits, P:60 and P:4 by number")
        << QStringList{"AXIS=1", "P:53:3121", "P:60:1", "P:4:5"}
        << QStringList{"000\tP:53,3,1,2,1", "001\tP:60,1", "002\tP:04A05"};
    QTest::newRow("lower-case u02: sent with the mnemonic")
        << QStringList{"AXIS=1", "u02:b:1:7", "U03:3:100"} << QStringList{"000\tU02:b,1,07", "001\tU03:03,100"};
    QTest::newRow("S:, W:, C: on three axes")
        << QStringList{"AXIS=3", "S:5,W:10,C:0:1:2:0"} << QStringList{"000\tS:A05|W:10|C:0120"};
    QTest::newRow("five steps with blank lines, numbered from 000")
        << QStringList{"AXIS=2", "H:,H:", "", "D:100:5000:200,D:100:5000:200", "AGO:10000,AGO:-500",
                       "  ", "W:10,U04:", "#:END,U00:"}
        << QStringList{"000\tH:A|H:B", "001\tD:A100,5000,200|D:B100,5000,200",
                       "002\tAGO:A10000|AGO:B-500", "003\tW:10|U04:", "004\t#:END"};
}

// The same text whatever the language file: the command names from it, or
// the mnemonics when it is missing or its names cannot serve.
void TestCli::show()
{
    QFETCH(QStringList, file);
    QFETCH(QStringList, expected);
    writeProgram(QStringLiteral("show.txt"), file);

    for (const QString &home : std::as_const(m_homes)) {
        const Result r = run({"show", "show.txt"}, home);
        QCOMPARE(r.out, expected);
        QCOMPARE(r.err, QStringList());
        QCOMPARE(r.exitCode, 0);
    }
}

void TestCli::showStepLimit()
{
    // Two axes hold 200 steps: the document must take every one of them.
    const Result r = run({"show", "long2.txt"}, m_langHome);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.size(), 200);
    QCOMPARE(r.out.last(), QStringLiteral("199\tH:A|H:B"));
}

void TestCli::help()
{
    for (const QStringList &args : {QStringList{"--help"}, QStringList{"check", "-h"}}) {
        const Result r = run(args, m_langHome);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.join(u'\n').contains(QStringLiteral("check FILE...")));
        QVERIFY(r.out.join(u'\n').contains(QStringLiteral("show FILE")));
        QVERIFY(r.out.join(u'\n').contains(QStringLiteral("lint FILE...")));
        QCOMPARE(r.err, QStringList());
    }
}

void TestCli::version_data()
{
    QTest::addColumn<QString>("program");
    for (const char *program : {"velomat", "velomat-cli", "velomat-sim"})
        QTest::newRow(program) << QString::fromLatin1(program);
}

// Every program introduces itself with the build's version, the editor
// without a display too.
void TestCli::version()
{
    QFETCH(QString, program);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/") + program,
                  {QStringLiteral("--version")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
             program + QStringLiteral(" " VELOMAT_VERSION "\n"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
