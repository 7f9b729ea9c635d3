#include "link/AppContext.h"
#include "link/LinkSession.h"
#include "link/TransferProgress.h"
#include "sim/Pty.h"
#include "sim/SimController.h"
#include "support/SimLine.h"

#include <QFile>
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
        // A numbered message, alone or followed by where it happened.
        for (int no = 0; messages && no < Messages::kCount; ++no) {
            const QString numbered = messages->messageText(no);
            if (!numbered.isEmpty() && (text == numbered || text.startsWith(numbered + u'\n')))
                entry = QStringLiteral("msg %1").arg(no);
        }
        for (const char *key : {"Mes000", "Mes001", "Mes021", "Mes055", "Mes070", "Mes072"})
            if (messages && !messages->keyText(QLatin1String(key)).isEmpty()
                && text.startsWith(messages->keyText(QLatin1String(key))))
                entry = QStringLiteral("key ") + QLatin1String(key);
        log << entry;
        texts << text;
        if (duringMessage)
            duringMessage();
        return MsgAnswer::Ok;
    }

    const Messages *messages = nullptr;
    std::function<void()> duringMessage;
    QStringList log;
    QStringList texts; // every message as shown
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
    void progressText_data();
    void progressText();
    void errorReplies_data();
    void errorReplies();
    void chains_data();
    void chains();
    void messagesSayWhere_data();
    void messagesSayWhere();
    void timeoutShowsMessageLast();
    void messageBoxCannotReenter();
    void overTheLine_data();
    void overTheLine();
    void cablePulledWhileWaiting();
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
    QTest::newRow("armed: CR before other text") << true << L{"L5\rX"} << L{"L5"} << QByteArray("X") << 0;
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
        // A first line end that is a CR ending the first chunk leaves the
        // kind open: nothing is cut before the line-end timer has run.
        // Otherwise it is known at once.
        const QByteArray &first = chunks.first();
        const qsizetype end = first.indexOf('\r') >= 0 ? first.indexOf('\r') : first.indexOf('\n');
        if (end == first.size() - 1 && first.endsWith('\r') && first.indexOf('\n') < 0)
            QVERIFY(got.isEmpty());
        if (!lines.isEmpty())
            QTRY_COMPARE(link.crLfState(), int(SerialLink::Decided));
    }
    QCOMPARE(got, lines);
    QCOMPARE(link.rxBuffer(), rest);
    QCOMPARE(link.eolKind(), eolKind);
}

void TestLink::progressText_data()
{
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing yet") << 0 << 120 << qint64(0) << "step 0 of 120";
    QTest::newRow("the rest at the pace so far")
        << 37 << 120 << qint64(12000) << "step 37 of 120  0:12 elapsed, about 0:27 left";
    QTest::newRow("done") << 120 << 120 << qint64(61400) << "step 120 of 120  1:01 elapsed, about 0:00 left";
    QTest::newRow("past an hour") << 1 << 2 << qint64(3661000) << "step 1 of 2  1:01:01 elapsed, about 1:01:01 left";
}

// What stands beside a transfer's progress bar (English words without a
// language file).
void TestLink::progressText()
{
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, text);
    QCOMPARE(TransferProgress::text(clsIniFile(QString()), done, total, elapsedMs), text);
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
    QTest::newRow("upload line neither a step nor an error reply: refused with NG, said")
        << "upload 1" << L{"bad", "\x06"}
        << QStringList{"> UPLOAD:01", "take bad", "> NG:", "key Mes001", "up.enabled 0"};
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

namespace {

// Starts the operation `start` ("load 2", "upload 1", "chinf 7", ...) on a
// rig, hands in the replies, and gives the rig back to be looked at.
std::unique_ptr<Rig> play(const QString &start, const QByteArrayList &replies)
{
    const QStringList words = start.split(u' ');
    const bool upload = words[0].startsWith(QLatin1String("upload")) || words[0] == QLatin1String("chinfup");
    auto rig = std::make_unique<Rig>(upload ? SerialLink::Route::Upload : SerialLink::Route::Replies);
    CommandSet &c = rig->commands;
    const int ch = words.value(1).toInt();
    if (start == QLatin1String("check")) {
        c.startCommCheck();
    } else if (words[0] == QLatin1String("load")) {
        c.reqLoad(ch);
    } else if (words[0] == QLatin1String("chinf")) {
        c.reqChInfDown(ch);
    } else if (start == QLatin1String("run") || start == QLatin1String("stop")) {
        rig->views.start = start == QLatin1String("run");
        rig->views.stop = !rig->views.start;
        c.reqLoad(99);
    } else if (words[0] == QLatin1String("upload")) {
        c.reqUpload(ch);
    } else if (start == QLatin1String("reset")) {
        c.resetLink();
    } else {
        c.reqChInfUp(ch);
    }
    for (const QByteArray &reply : replies)
        rig->link.receiveText(reply + '\r');
    return rig;
}

} // namespace

void TestLink::chains()
{
    QFETCH(QString, start);
    QFETCH(QByteArrayList, replies);
    QFETCH(QStringList, journal);

    const auto rig = play(start, replies);
    QVERIFY2(rig->journal.log == journal, qPrintable(rig->journal.log.join(u'|')));
    QVERIFY(!rig->commands.waiting());
    QVERIFY(!rig->link.replyTimerActive());
}

void TestLink::messagesSayWhere_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QString>("said"); // the end of the last message
    using L = QByteArrayList;
    QTest::newRow("a step refused: channel, step and code")
        << "load 2" << L{"\x06", "\x06", "!5"} << "\n\nChannel 02, step 001: the controller answered !5";
    QTest::newRow("a state refused") << "chinf 7" << L{"!3"} << "\n\nChannel 07: the controller answered !3";
    QTest::newRow("a download complete: channel and steps")
        << "load 2" << L{"\x06", "\x06", "\x06", "\x06", "\x06", "\x06"} << "\n\nChannel 02, 3 steps";
    QTest::newRow("an upload complete") << "upload 4" << L{"H:A", "H:A", ""} << "\n\nChannel 04, 2 steps";
    QTest::newRow("run control names the channel to start, not 99")
        << "run" << L{"!2"} << "\n\nChannel 03: the controller answered !2";
}

// The numbered message first, then where it happened and what the
// controller said.
void TestLink::messagesSayWhere()
{
    QFETCH(QString, start);
    QFETCH(QByteArrayList, replies);
    QFETCH(QString, said);
    const auto rig = play(start, replies);
    QVERIFY(!rig->journal.texts.isEmpty());
    QVERIFY2(rig->journal.texts.last().endsWith(said), qPrintable(rig->journal.texts.last()));
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

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
