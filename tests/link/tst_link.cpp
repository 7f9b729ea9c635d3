#include "link/AppContext.h"
#include "link/LinkSession.h"
#include "sim/Pty.h"
#include "sim/SimController.h"

#include <QFile>
#include <QProcess>

#include <QSignalSpy>
#include <QtTest>

using namespace std::chrono_literals;

namespace {

// Everything the command set does, in order, as short texts: commands sent
// ("> LOAD:02"), calls on the views ("down.comWait 1 2") and messages
// ("msg 6", "key Mes000").
struct Journal : MessagePresenter
{
    int present(MsgKind, MsgButtons, const QString &, const QString &text) override
    {
        QString entry = QStringLiteral("message? ") + text;
        for (int no = 0; messages && no < Messages::kCount; ++no)
            if (messages->messageText(no) == text)
                entry = QStringLiteral("msg %1").arg(no);
        for (const char *key : {"Mes000", "Mes001", "Mes021", "Mes055", "Mes070", "Mes072"})
            if (messages && !messages->keyText(QLatin1String(key)).isEmpty()
                && text.startsWith(messages->keyText(QLatin1String(key))))
                entry = QStringLiteral("key ") + QLatin1String(key);
        log << entry;
        if (duringMessage)
            duringMessage();
        return MsgAnswer::Ok;
    }

    const Messages *messages = nullptr;
    std::function<void()> duringMessage;
    QStringList log;
};

// Every view of the command set at once, each call journaled; a test opens
// it the way an operation's session does.
struct JournalViews : LinkSession, WaitView, DownView, ExeView, UpView, StepSource
{
    JournalViews(AppContext &ctx, Journal &journal) : LinkSession(ctx), log(journal.log) {}

    void open(SerialLink::Route route)
    {
        openSession(route, this, this, this, this, this, false);
    }

    void closeWait() override { log << QStringLiteral("wait.close"); }
    void dispChInf(const QString &reply) override { log << QStringLiteral("chinf \"%1\"").arg(reply); }
    void comWait(bool waiting, int mode) override
    {
        log << QStringLiteral("down.comWait %1 %2").arg(int(waiting)).arg(mode);
    }
    void setProgressbar(int value) override { log << QStringLiteral("progress %1").arg(value); }
    void comWait(bool waiting) override { log << QStringLiteral("exe.comWait %1").arg(int(waiting)); }
    bool startMode() const override { return start; }
    bool stopMode() const override { return stop; }
    int selectedChannel() const override { return channel; }
    void DispStatus(const QString &reply) override { log << QStringLiteral("status \"%1\"").arg(reply); }
    void SetEnabled(bool running) override { log << QStringLiteral("up.enabled %1").arg(int(running)); }
    void Plus1Progress() override { log << QStringLiteral("up.plus1"); }
    int linesTaken() const override { return taken; }
    bool bTakeUploadLine(const QByteArray &line) override
    {
        log << QStringLiteral("take ") + QString::fromLatin1(line);
        const bool ok = !line.contains("bad");
        taken += ok;
        return ok;
    }
    void uploadFinished() override { log << QStringLiteral("up.finished"); }
    int getStep() const override { return 3; }
    QString getSendStep(int step) const override { return QStringLiteral("W:%1").arg(step); }

    QStringList &log;
    bool start = false;
    bool stop = false;
    int channel = 3;
    int taken = 0;
};

// A run object built as the editor builds it, with every view attached to
// its command set; without a device, sends fail as with a port that cannot
// be opened. Replies are handed in as the link would.
struct Rig
{
    explicit Rig(SerialLink::Route route = SerialLink::Route::Replies) : ctx(journal)
    {
        QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT"), dir.filePath(QStringLiteral("LANG1.DAT")));
        ctx.build(dir.path(), QStringLiteral("1"), 3);
        journal.messages = &ctx.messages;
        // A line that takes every command and answers none: the replies
        // are handed in by the test.
        QString error;
        if (!pty.open(&error))
            qFatal("pty: %s", qPrintable(error));
        setDevice(pty.slavePath());
        link.intervals.crLf = 1ms;
        QObject::connect(&commands, &CommandSet::commandSent, &commands, [this](const QByteArray &c) {
            journal.log << QStringLiteral("> ") + QString::fromLatin1(c);
        });
        views.open(route);
        // Armed by opening; these tests cut at CR unless they arm it.
        link.receiveText("\r");
        QTRY_COMPARE(link.crLfState(), int(SerialLink::Decided));
        link.setReplyTimer(false);
    }
    // Sends go to the simulator's end of the line.
    void setDevice(const QString &device)
    {
        SerialLine line;
        line.device = device;
        ctx.comSettings.setAppliedLine(line);
    }

    QTemporaryDir dir;
    Pty pty;
    Journal journal;
    AppContext ctx;
    CommandSet &commands = ctx.commands;
    SerialLink &link = ctx.link;
    JournalViews views{ctx, journal};
};

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    void framing_data();
    void framing();
    void errorReplies_data();
    void errorReplies();
    void chains_data();
    void chains();
    void timeoutShowsMessageLast();
    void messageBoxCannotReenter();
    void overTheLine_data();
    void overTheLine();
    void cablePulledWhileWaiting();
    void cliAgainstSimulator_data();
    void cliAgainstSimulator();
    void cliTransfers_data();
    void cliTransfers();
};

void TestLink::framing_data()
{
    QTest::addColumn<bool>("armed");
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArray>("rest");
    QTest::addColumn<int>("eolKind");

    using L = QByteArrayList;
    QTest::newRow("CR LF cut at CR before detection: the LF is the line end's")
        << false << L{"L5\r\n"} << L{"L5"} << QByteArray() << 0;
    QTest::newRow("CR LF cut at CR: a late LF is not the next reply's")
        << false << L{"L5\r", "\n!5\r"} << L{"L5", "!5"} << QByteArray() << 0;
    QTest::newRow("CR-only controller: an LF after other text stays")
        << false << L{"A\r", "B\nC\r"} << L{"A", "B\nC"} << QByteArray() << 0;
    QTest::newRow("two lines in one chunk") << false << L{"A\rB\r"} << L{"A", "B"} << QByteArray() << 0;
    QTest::newRow("empty line") << false << L{"\r"} << L{""} << QByteArray() << 0;
    QTest::newRow("line in pieces") << false << L{"L", "5", "\rx"} << L{"L5"} << QByteArray("x") << 0;
    QTest::newRow("armed: CR, then LF later: CR LF")
        << true << L{"L5\r", "\n"} << L{"L5"} << QByteArray() << 2;
    QTest::newRow("armed: LF alone") << true << L{"L5\n"} << L{"L5"} << QByteArray() << 1;
    QTest::newRow("armed: CR alone") << true << L{"L5\r"} << L{"L5"} << QByteArray() << 0;
    QTest::newRow("armed: two CR LF lines") << true << L{"A\r\nB\r", "\n"} << L{"A", "B"} << QByteArray() << 2;
    QTest::newRow("armed: nothing before the line end")
        << true << L{"L5"} << L{} << QByteArray("L5") << 0;
}

void TestLink::framing()
{
    QFETCH(bool, armed);
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArray, rest);
    QFETCH(int, eolKind);

    SerialLine line;
    SerialLink link(line);
    link.intervals.crLf = 20ms;
    if (armed)
        SerialLinkProbe::arm(link);
    QByteArrayList got;
    QObject::connect(&link, &SerialLink::lineReceived, &link, [&](const QByteArray &l) { got << l; });
    for (const QByteArray &chunk : chunks)
        link.receiveText(chunk);
    if (armed) {
        // Nothing is cut before the line-end timer has run.
        QVERIFY(got.isEmpty());
        if (!lines.isEmpty())
            QTRY_COMPARE(link.crLfState(), int(SerialLink::Decided));
    }
    QCOMPARE(got, lines);
    QCOMPARE(link.rxBuffer(), rest);
    QCOMPARE(link.eolKind(), eolKind);
}

void TestLink::errorReplies_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("message"); // -1: a normal reply
    QTest::newRow("! alone") << QByteArray("!") << 16;
    QTest::newRow("!0 warning") << QByteArray("!0") << 7;
    QTest::newRow("!3") << QByteArray("!3") << 10;
    QTest::newRow("!8") << QByteArray("!8") << 15;
    QTest::newRow("!9 any other") << QByteArray("!9") << 16;
    QTest::newRow("!x any other") << QByteArray("!x") << 16;
    QTest::newRow("!12 is normal") << QByteArray("!12") << -1;
    QTest::newRow("ACK is normal") << QByteArray("\x06") << -1;
    QTest::newRow("empty is normal") << QByteArray() << -1;
}

void TestLink::errorReplies()
{
    QFETCH(QByteArray, line);
    QFETCH(int, message);
    QCOMPARE(CommandSet::errorMessageOf(line), message);
    // With nothing awaited only an error reply shows its message.
    Rig rig;
    rig.commands.dispatchReply(line);
    QCOMPARE(rig.journal.log, message < 0 ? QStringList() : QStringList{QStringLiteral("msg %1").arg(message)});
}

void TestLink::chains_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QStringList>("journal");

    using L = QByteArrayList;
    QTest::newRow("link check passes")
        << "check" << L{"OK", "L1"}
        << QStringList{"> ?:", "> CHINF:01", "key Mes000", "wait.close"};
    QTest::newRow("link check, error reply first")
        << "check" << L{"!3"} << QStringList{"> ?:", "msg 10", "wait.close"};
    QTest::newRow("link check, error reply second")
        << "check" << L{"OK", "!0"} << QStringList{"> ?:", "> CHINF:01", "msg 7", "wait.close"};
    QTest::newRow("download of three steps")
        << "load 2" << L{"\x06", "\x06", "\x06", "\x06", "\x06", "\x06"}
        << QStringList{"down.comWait 1 2", "> LOAD:02", "down.comWait 1 2", "> W:1",
                       "progress 1", "down.comWait 1 2", "> W:2", "progress 2", "down.comWait 1 2",
                       "> W:3", "progress 3", "down.comWait 1 2", "> PGWRT:", "down.comWait 1 2",
                       "> REMOTE:", "msg 6", "down.comWait 0 2"};
    QTest::newRow("error reply to step 2 stops the download")
        << "load 2" << L{"\x06", "\x06", "!5", "\x06"}
        << QStringList{"down.comWait 1 2", "> LOAD:02", "down.comWait 1 2", "> W:1",
                       "progress 1", "down.comWait 1 2", "> W:2", "msg 12", "down.comWait 0 2"};
    QTest::newRow("error reply to LOAD")
        << "load 15" << L{"!1"} << QStringList{"down.comWait 1 2", "> LOAD:15", "msg 8", "down.comWait 0 2"};
    QTest::newRow("channel state for the download dialog")
        << "chinf 4" << L{"L012"}
        << QStringList{"chinf \"\"", "down.comWait 1 1", "> CHINF:04", "chinf \"L012\"", "down.comWait 0 1"};
    QTest::newRow("run start on channel 3")
        << "run" << L{"\x06"} << QStringList{"exe.comWait 1", "> LOAD:99", "> Z:03", "exe.comWait 0"};
    QTest::newRow("run stop") << "stop" << L{"\x06"}
                              << QStringList{"exe.comWait 1", "> LOAD:99", "> U07:", "exe.comWait 0"};
    QTest::newRow("run start refused")
        << "run" << L{"!2"} << QStringList{"exe.comWait 1", "> LOAD:99", "msg 9", "exe.comWait 0"};
    QTest::newRow("upload of two lines")
        << "upload 1" << L{"H:A", "W:+00000010", ""}
        << QStringList{"> UPLOAD:01", "take H:A", "up.plus1", "> ", "take W:+00000010", "up.plus1",
                       "> ", "key Mes021", "up.finished"};
    QTest::newRow("upload line refused: NG, then idle")
        << "upload 1" << L{"bad", "\x06"}
        << QStringList{"> UPLOAD:01", "up.enabled 0"};
    QTest::newRow("upload program line refused")
        << "upload 1" << L{"Hbad", "\x06"}
        << QStringList{"> UPLOAD:01", "take Hbad", "> NG:", "key Mes001", "up.enabled 0"};
    QTest::newRow("the link reset's answer is awaited, then dropped")
        << "reset" << L{"!3"} << QStringList{"> ?:"};
    QTest::newRow("upload answered by an error reply: its message, idle")
        << "upload 1" << L{"!3"} << QStringList{"> UPLOAD:01", "msg 10", "up.enabled 0"};
    QTest::newRow("upload of an empty channel: said so, no program")
        << "upload 1" << L{""} << QStringList{"> UPLOAD:01", "key Mes072", "up.finished"};
    QTest::newRow("status for the upload dialog")
        << "chinfup 7" << L{"N"}
        << QStringList{"status \"\"", "> CHINF:07", "status \"N\"", "up.enabled 0"};
}

void TestLink::chains()
{
    QFETCH(QString, start);
    QFETCH(QByteArrayList, replies);
    QFETCH(QStringList, journal);

    const QStringList words = start.split(u' ');
    const bool upload = words[0].startsWith(QLatin1String("upload")) || words[0] == QLatin1String("chinfup");
    Rig rig(upload ? SerialLink::Route::Upload : SerialLink::Route::Replies);
    CommandSet &c = rig.commands;
    const int ch = words.value(1).toInt();
    if (start == QLatin1String("check")) {
        c.startCommCheck();
    } else if (words[0] == QLatin1String("load")) {
        c.reqLoad(ch);
    } else if (words[0] == QLatin1String("chinf")) {
        c.reqChInfDown(ch);
    } else if (start == QLatin1String("run") || start == QLatin1String("stop")) {
        rig.views.start = start == QLatin1String("run");
        rig.views.stop = !rig.views.start;
        c.reqLoad(99);
    } else if (words[0] == QLatin1String("upload")) {
        c.reqUpload(ch);
    } else if (start == QLatin1String("reset")) {
        c.resetLink();
    } else {
        c.reqChInfUp(ch);
    }
    for (const QByteArray &reply : replies)
        rig.link.receiveText(reply + '\r');
    QCOMPARE(rig.journal.log, journal);
    QVERIFY(!c.waiting());
    QVERIFY(!rig.link.replyTimerActive());
}

void TestLink::timeoutShowsMessageLast()
{
    Rig rig;
    rig.link.intervals.reply = 10ms;
    rig.commands.reqChInfDown(2);
    QSignalSpy timedOut(&rig.commands, &CommandSet::timedOut);
    QVERIFY(timedOut.wait());
    QCOMPARE(timedOut.first().first().toByteArray(), QByteArray("CHINF:02"));
    // The dialog is unlocked and its state emptied before the message shows.
    QCOMPARE(rig.journal.log, (QStringList{"chinf \"\"", "down.comWait 1 1", "> CHINF:02", "chinf \"\"",
                                           "down.comWait 0 1", "msg 4"}));
    QVERIFY(!rig.commands.waiting());
}

// A message box runs a nested event loop: whatever the line delivers while
// it is open must find the exchange over, not half done.
void TestLink::messageBoxCannotReenter()
{
    Rig rig;
    rig.link.intervals.reply = 10ms;
    int nested = 0;
    rig.journal.duringMessage = [&] {
        // A late reply and a timer tick while the box is open.
        ++nested;
        rig.link.receiveText("\x06\r");
        QTest::qWait(30);
    };
    // Error reply to step 1 of a download, then the late ACK for it.
    rig.commands.reqLoad(1);
    rig.link.receiveText("\x06\r");
    rig.link.receiveText("!4\r");
    QCOMPARE(nested, 1);
    QCOMPARE(rig.journal.log.mid(3), (QStringList{"> W:1", "msg 11", "down.comWait 0 2"}));
    // The reply time-out the same way.
    rig.journal.log.clear();
    rig.commands.sendStep(2);
    QTRY_COMPARE(nested, 2);
    QTest::qWait(30);
    QCOMPARE(rig.journal.log, (QStringList{"down.comWait 1 2", "> W:2", "down.comWait 0 2", "msg 4"}));
    QVERIFY(!rig.commands.waiting());
}

namespace {

// The simulator on a pseudo-terminal, faults given as command-line options
// ("fail:CHINF=!5", "silent:CHINF").
std::unique_ptr<SimController> startSimulator(const QStringList &faults)
{
    SimOptions options;
    for (const QString &f : faults) {
        // The line rather than a fault: "eol:lf", "lf-delay:20", "baud:600".
        if (f.startsWith(QLatin1String("eol:"))) {
            options.eol = f.endsWith(QLatin1String("lf")) ? "\n" : "\r";
            continue;
        }
        if (f.startsWith(QLatin1String("lf-delay:"))) {
            options.lfDelayMs = f.section(u':', 1).toInt();
            continue;
        }
        if (f.startsWith(QLatin1String("baud:"))) {
            options.baud = f.section(u':', 1).toInt();
            continue;
        }
        QString error;
        const auto fault = SimFault::fromOption(f.section(u':', 0, 0), f.section(u':', 1), &error);
        if (!fault)
            qFatal("bad fault %s: %s", qPrintable(f), qPrintable(error));
        options.faults << *fault;
    }
    auto sim = std::make_unique<SimController>(options);
    QString error;
    if (!sim->start(&error))
        qFatal("simulator: %s", qPrintable(error));
    return sim;
}

} // namespace

// The real port, the real framing and the simulated controller.
void TestLink::overTheLine_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QStringList>("journal");

    QTest::newRow("link check passes") << "check" << QStringList()
                                       << QStringList{"> ?:", "> CHINF:01", "key Mes000", "wait.close"};
    QTest::newRow("link check, error reply") << "check" << QStringList{"fail:?=!3"}
                                             << QStringList{"> ?:", "msg 10", "wait.close"};
    QTest::newRow("link check, silence") << "check" << QStringList{"silent:CHINF"}
                                         << QStringList{"> ?:", "> CHINF:01", "wait.close", "msg 4"};
    QTest::newRow("download of three steps")
        << "load" << QStringList()
        << QStringList{"down.comWait 1 2", "> LOAD:02", "down.comWait 1 2", "> W:1", "progress 1",
                       "down.comWait 1 2", "> W:2", "progress 2", "down.comWait 1 2", "> W:3",
                       "progress 3", "down.comWait 1 2", "> PGWRT:", "down.comWait 1 2", "> REMOTE:",
                       "msg 6", "down.comWait 0 2"};
}

void TestLink::overTheLine()
{
    QFETCH(QString, start);
    QFETCH(QStringList, faults);
    QFETCH(QStringList, journal);

    const auto sim = startSimulator(faults);
    Rig rig;
    rig.setDevice(sim->devicePath());
    rig.link.intervals.reply = 300ms;
    if (start == QLatin1String("check"))
        rig.commands.startCommCheck();
    else
        rig.commands.reqLoad(2);
    QTRY_COMPARE(rig.journal.log, journal);
    QVERIFY(!rig.commands.waiting());
    QVERIFY(!rig.link.isOpen()); // free between operations
    if (start == QLatin1String("load"))
        QCOMPARE(sim->program(2), (QStringList{"W:1", "W:2", "W:3"}));
}

// A USB adapter pulled out while an answer is awaited: the exchange ends at
// once, the dialog is unlocked, and the user is told.
void TestLink::cablePulledWhileWaiting()
{
    const auto sim = startSimulator({"silent:CHINF"});
    Rig rig;
    rig.setDevice(sim->devicePath());
    QSignalSpy failed(&rig.commands, &CommandSet::portFailed);
    rig.commands.reqChInfDown(1);
    QVERIFY(rig.link.isOpen());
    sim->pullCable();
    QVERIFY(failed.wait(2000)); // well before the 3 s reply time-out
    QCOMPARE(rig.journal.log.mid(3, 2), (QStringList{"chinf \"\"", "down.comWait 0 1"}));
    QCOMPARE(rig.journal.log.last(), QStringLiteral("key Mes055"));
    QVERIFY(!rig.commands.waiting());
    QVERIFY(!rig.link.isOpen());
    QVERIFY(!rig.link.replyTimerActive());
}

void TestLink::cliAgainstSimulator_data()
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
    for (const QString &line : {"eol:lf", "lf-delay:5", "lf-delay:40"}) {
        QTest::addRow("ping, %s", qPrintable(line)) << QStringList{"ping"} << QStringList{line} << 0 << "ok\n" << "";
        QTest::addRow("status, %s", qPrintable(line))
            << QStringList{"status", "--channel", "4"} << QStringList{line} << 0 << "N\n" << "";
        QTest::addRow("run refused, %s", qPrintable(line)) << QStringList{"run", "--channel", "3"}
            << QStringList{line, "fail:LOAD=!5"} << 1 << "" << "error reply !5";
        QTest::addRow("ping, error reply, %s", qPrintable(line))
            << QStringList{"ping"} << QStringList{line, "fail:CHINF=!3"} << 1 << "" << "error reply !3";
    }
    // A slow line: the reset's answer comes after any fixed pause would
    // have ended, and is still not taken for the next command's.
    QTest::newRow("status at 600 baud") << QStringList{"status", "--channel", "4"} << QStringList{"baud:600"}
                                        << 0 << "N\n" << "";
    QTest::newRow("status, error reply at 600 baud")
        << QStringList{"status", "--channel", "4"} << QStringList{"baud:600", "fail:CHINF=!7"} << 1 << ""
        << "error reply !7";
    QTest::newRow("port not there") << QStringList{"ping", "--port", "/nonexistent/tty"} << QStringList()
                                    << 4 << "" << "/nonexistent/tty: not present";
}

// velomat-cli as a script sees it: the real program against the simulator.
void TestLink::cliAgainstSimulator()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, faults);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const auto sim = startSimulator(faults);
    QTemporaryDir home;
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELOMAT_HOME"), home.path());
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

void TestLink::cliTransfers_data()
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
        << "channel 02 holds a program of 2 axes and 3 steps: --axes 1 would leave out axis 2" << sent;
    QTest::newRow("upload of an empty channel") << QStringList{"upload", "--channel", "3"} << three << none << 1
                                                << QByteArray() << "channel 03 holds no program" << sent;
    QTest::newRow("run") << QStringList{"run", "--channel", "7"} << three << none << 0 << QByteArray() << ""
                         << sent;
}

// The transfers of velomat-cli against the simulator; channel 2 holds the
// program "three" before every row but the downloads.
void TestLink::cliTransfers()
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
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("FILE"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELOMAT_HOME"), home.path());
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

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
