#include "config/Messages.h"
#include "link/AppContext.h"
#include "program/ProgramDocument.h"
#include "sim/SimController.h"
#include "support/ScriptedPresenter.h"
#include "support/Ser2net.h"
#include "transfer/dlgDown.h"
#include "link/UploadSession.h"
#include "transfer/dlgUP.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace std::chrono_literals;

namespace {

// The reply time-out of both faces: short, so that silence costs little.
constexpr std::chrono::milliseconds kReplyMs{200};

// What goes wrong on the line, as the simulated controller plays it.
struct Fault
{
    QList<SimFault> faults;
    int chunk = 0;              // replies split into pieces of this size
    QString pullAt;             // the cable is pulled when this command comes
    QStringList channel1;       // what channel 1 holds for an upload
    int lfDelay = 0;            // the LF of every CR LF this many ms after the CR
    // The controller behind a device server: "tcp", "rfc2217", "telnet"
    // (Telnet without the COM port option), or "refused" (nothing serves
    // the port).
    QString via = {};
    QString serverFault = {}; // the server killed or frozen when pullAt comes
};

SimFault at(SimFault::Action action, const char *keyword, int step, const QByteArray &reply,
            int delayMs = 0)
{
    SimFault f;
    f.action = action;
    f.keyword = keyword;
    f.step = step;
    f.reply = reply;
    f.delayMs = delayMs;
    return f;
}

std::unique_ptr<SimController> startSimulator(const Fault &fault)
{
    SimOptions options;
    options.faults = fault.faults;
    options.chunkSize = fault.chunk;
    options.chunkGapMs = 1;
    options.lfDelayMs = fault.lfDelay;
    auto sim = std::make_unique<SimController>(options);
    QString error;
    if (!sim->start(&error))
        qFatal("simulator: %s", qPrintable(error));
    if (!fault.channel1.isEmpty())
        sim->setProgram(1, fault.channel1);
    if (!fault.pullAt.isEmpty() && fault.serverFault.isEmpty()) {
        SimController *s = sim.get();
        QObject::connect(s, &SimController::commandReceived, s, [s, pull = fault.pullAt](const QString &c) {
            if (c == pull)
                QTimer::singleShot(0, s, &SimController::pullCable);
        });
    }
    return sim;
}

// Where the link reaches the simulator: its pseudo-terminal, or a real
// ser2net in front of it, killed or frozen at the fault's command.
QString deviceFor(const Fault &fault, SimController &sim, Ser2net &server)
{
    if (fault.via.isEmpty())
        return sim.devicePath();
    if (fault.via == QLatin1String("refused")) {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        return QStringLiteral("tcp://127.0.0.1:%1").arg(closed.serverPort());
    }
    QString error;
    const QList<Ser2net::Ports> ports = server.start({sim.devicePath()}, &error);
    if (ports.isEmpty())
        qFatal("%s", qPrintable(error));
    if (!fault.serverFault.isEmpty()) {
        QObject::connect(&sim, &SimController::commandReceived, &sim, [&server, fault](const QString &c) {
            if (c != fault.pullAt)
                return;
            if (fault.serverFault == QLatin1String("kill"))
                server.kill();
            else
                server.freeze();
        });
    }
    return fault.via == QLatin1String("tcp")       ? ports.first().raw
        : fault.via == QLatin1String("rfc2217") ? ports.first().rfc2217
                                                : ports.first().plainTelnet;
}

// The program open in the editor while it is downloaded.
struct OpenDocument : StepSource
{
    OpenDocument(AppContext &ctx) : doc(ctx.catalogue, ctx.run.langIni, ctx.messages, 200)
    {
        doc.setAxis(1);
        doc.putSteps({{ProgCell{Catalogue::W, {"1"}}}, {ProgCell{Catalogue::W, {"2"}}},
                      {ProgCell{Catalogue::W, {"3"}}}});
    }
    int getStep() const override { return doc.getStep(); }
    QString getSendStep(int step) const override { return doc.getSendStep(step); }
    ProgramDocument doc;
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void matrix_data();
    void matrix();
};

void TestFaults::matrix_data()
{
    QTest::addColumn<QString>("operation"); // download or upload
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("message");   // the key of the (first) message the editor shows
    QTest::addColumn<int>("exitCode");      // velomat-cli's
    QTest::addColumn<QString>("err");       // the start of velomat-cli's stderr, after its progress

    using A = SimFault::Action;
    const QStringList five{"H:A|H:B|H:C|H:D|H:E"};
    QTest::newRow("device removed mid-download")
        << "download" << Fault{{}, 0, "W:2", {}} << "Mes055" << 4 << "";
    QTest::newRow("device removed mid-upload")
        << "upload" << Fault{{}, 0, "UPLOAD:01", QStringList(5, "H:A")} << "Mes055" << 4 << "";
    QTest::newRow("garbage and control bytes as a reply: taken as an answer")
        << "download" << Fault{{at(A::Raw, "", 1, QByteArray("\x00\x1b[2J\xff\x7f?\r\n", 11))}, 0, "", {}}
        << "Mes008" << 0 << "";
    QTest::newRow("replies split at every byte")
        << "download" << Fault{{}, 1, "", {}} << "Mes008" << 0 << "";
    QTest::newRow("a reply without any line end")
        << "download" << Fault{{at(A::Raw, "", 1, "\x06")}, 0, "", {}} << "Mes006" << 4 << "no answer to W:2";
    QTest::newRow("silence") << "download" << Fault{{at(A::Silence, "PGWRT", -1, {})}, 0, "", {}} << "Mes006" << 4
                             << "no answer to PGWRT:";
    // Well after the reply time-out, also on a slow sanitizer build.
    QTest::newRow("a reply after the time-out")
        << "download" << Fault{{at(A::Late, "", 0, "\x06", 1500)}, 0, "", {}} << "Mes006" << 4 << "no answer to W:1";
    QTest::newRow("a burst of error replies")
        << "download" << Fault{{at(A::Reply, "LOAD", -1, "!1\r\n!2\r\n!3")}, 0, "", {}} << "Mes010" << 1
        << "error reply !1";
    QTest::newRow("an upload of 300 lines")
        << "upload" << Fault{{}, 0, "", QStringList(300, "H:A")} << "Mes001" << 1 << "uploaded line";
    QTest::newRow("an upload line of five parts")
        << "upload" << Fault{{}, 0, "", five} << "Mes001" << 1 << "uploaded line";
    // A device server that goes away (its connections closed), goes
    // silent, cannot be reached or does not speak RFC 2217.
    QTest::newRow("server gone mid-download (RFC 2217)")
        << "download" << Fault{{}, 0, "W:2", {}, 0, "rfc2217", "kill"} << "Mes055" << 4 << "";
    QTest::newRow("server gone mid-upload (raw TCP)")
        << "upload" << Fault{{}, 0, "UPLOAD:01", QStringList(5, "H:A"), 0, "tcp", "kill"} << "Mes055" << 4 << "";
    QTest::newRow("server silent mid-download (raw TCP)")
        << "download" << Fault{{}, 0, "W:2", {}, 0, "tcp", "freeze"} << "Mes006" << 4 << "no answer to W:";
    QTest::newRow("server silent mid-upload (RFC 2217)")
        << "upload" << Fault{{}, 0, "UPLOAD:01", QStringList(5, "H:A"), 0, "rfc2217", "freeze"} << "Mes006" << 4
        << "no answer to ";
    QTest::newRow("connection refused")
        << "download" << Fault{{}, 0, "", {}, 0, "refused", ""} << "Mes070" << 4 << "tcp://127.0.0.1:";
    QTest::newRow("the server refuses the COM port option")
        << "download" << Fault{{}, 0, "", {}, 0, "telnet", ""} << "Mes070" << 4 << "rfc2217://127.0.0.1:";
    // An adapter that delivers the LF of CR LF late: every answer is still
    // credited to its own request, error replies included.
    const QStringList three{"W:1", "W:2", "W:3"};
    for (int late : {5, 40}) {
        QTest::addRow("LF %d ms late: download", late)
            << "download" << Fault{{}, 0, "", {}, late} << "Mes008" << 0 << "";
        QTest::addRow("LF %d ms late: an error reply to LOAD", late)
            << "download" << Fault{{at(A::Reply, "LOAD", -1, "!5")}, 0, "", {}, late} << "Mes014" << 1
            << "error reply !5";
        QTest::addRow("LF %d ms late: upload", late)
            << "upload" << Fault{{}, 0, "", three, late} << "Mes021" << 0 << "";
        QTest::addRow("LF %d ms late: an upload refused", late)
            << "upload" << Fault{{at(A::Reply, "UPLOAD", -1, "!3")}, 0, "", three, late} << "Mes012" << 1
            << "error reply !3";
    }
}

// Each fault through the editor's dialog and through velomat-cli: no crash,
// no hang, idle again within the reply time-out, the open document
// unchanged and no partial upload document, and a clear message.
void TestFaults::matrix()
{
    QFETCH(QString, operation);
    QFETCH(Fault, fault);
    QFETCH(QString, message);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    const bool download = operation == QLatin1String("download");
    const bool uploaded = !download && exitCode == 0;

    QTemporaryDir folder;
    QVERIFY(QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT"), folder.filePath("LANG1.DAT")));

    // ---- the editor's dialog -----------------------------------------------
    {
        const auto sim = startSimulator(fault);
        Ser2net server;
        const QString device = deviceFor(fault, *sim, server);
        // A port that cannot be opened fails already as the dialog asks
        // for the channel's state.
        const bool unreachable = fault.via == QLatin1String("refused") || fault.via == QLatin1String("telnet");
        ScriptedPresenter presenter;
        presenter.hold = 30ms; // each box held open as a user would, events running
        AppContext ctx(presenter);
        ctx.chooseLanguage(folder.path(), QStringLiteral("1"));
        ctx.setControllerType(1);
        ctx.buildRunObjects();
        SerialLine line;
        line.device = device;
        ctx.comSettings.setAppliedLine(line);
        ctx.link.intervals = {kReplyMs, 20ms, kReplyMs};
        OpenDocument open(ctx);
        const QList<ProgStep> before = open.doc.steps();

        QElapsedTimer clock;
        if (download) {
            dlgDown dlg(ctx, open, QStringLiteral("prog.txt"));
            dlg.vFormInitialize();
            clock.start();
            dlg.show();
            auto *cmdTx = dlg.findChild<QPushButton *>(QStringLiteral("cmdTx"));
            // The channel's state, asked for as the dialog opens, first.
            if (!unreachable) {
                QTRY_VERIFY(sim->commands().contains(QStringLiteral("CHINF:01")));
                QTRY_VERIFY(cmdTx->isEnabled() && !ctx.commands.waiting());
                clock.start();
                cmdTx->click();
            } else {
                QTRY_VERIFY(!presenter.shown.isEmpty());
            }
            QTRY_VERIFY_WITH_TIMEOUT(!ctx.commands.waiting() && cmdTx->isEnabled(), 5000);
            QVERIFY(dlg.close());
        } else {
            dlgUP dlg(ctx);
            dlg.InitUpLoad();
            QTimer::singleShot(0, &dlg, [&] {
                // The checks run in a function of their own: the dialog is
                // closed after a failed one too, so that no row hangs.
                auto drive = [&] {
                    auto *cmdUpLoad = dlg.findChild<QPushButton *>(QStringLiteral("cmdUpLoad"));
                    QTRY_VERIFY(sim->commands().contains(QStringLiteral("CHINF:01")));
                    QTRY_VERIFY(cmdUpLoad->isEnabled() && !ctx.commands.waiting());
                    clock.start();
                    cmdUpLoad->click();
                    QTRY_VERIFY_WITH_TIMEOUT(!ctx.commands.waiting() && cmdUpLoad->isEnabled(), 5000);
                };
                drive();
                dlg.close();
            });
            dlg.ShowDialog();
            QCOMPARE(dlg.completed(), uploaded);
            QCOMPARE(dlg.session().hasProgram(), uploaded);
        }
        // Idle again within the reply time-out (and a little for the line,
        // also on a slow sanitizer build).
        QVERIFY2(clock.elapsed() < kReplyMs.count() + 1500, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(50);
        QVERIFY(!presenter.shown.isEmpty());
        // The message's own words, up to the reason it names.
        QVERIFY2(presenter.shown.first().text.startsWith(ctx.messages.keyText(message).section(QStringLiteral("%1"), 0, 0)),
                 qPrintable(presenter.shown.first().text));
        QCOMPARE(open.doc.steps(), before);
        QVERIFY(!open.doc.getDirty());
        QVERIFY(!ctx.link.isOpen());
    }

    // ---- velomat-cli -------------------------------------------------------
    {
        const auto sim = startSimulator(fault);
        Ser2net server;
        const QString device = deviceFor(fault, *sim, server);
        QFile file(folder.filePath(QStringLiteral("prog.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("AXIS=1\r\nW:1\r\nW:2\r\nW:3\r\n");
        file.close();
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELOMAT_HOME"), folder.path());
        env.insert(QStringLiteral("VELOMAT_TIMING"), QStringLiteral("reply=%1,crlf=20,write=%1").arg(kReplyMs.count()));
        cli.setProcessEnvironment(env);
        cli.setWorkingDirectory(folder.path());
        const QStringList args = download ? QStringList{"download", "prog.txt"}
                                          : QStringList{"upload", "--axes", "1", "-o", "back.txt"};
        cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velomat-cli"),
                  args + QStringList{"--port", device});
        QSignalSpy finished(&cli, &QProcess::finished);
        QVERIFY(finished.wait(15000));
        const QStringList lines = QString::fromUtf8(cli.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
        QStringList reports;
        for (const QString &l : lines)
            if (!l.startsWith(QLatin1String("step ")))
                reports << l;
        QVERIFY2(cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == exitCode,
                 qPrintable(lines.join(u'|')));
        // One clear line for a failure, nothing for a success.
        QVERIFY2(reports.size() == (exitCode == 0 ? 0 : 1), qPrintable(reports.join(u'|')));
        if (!err.isEmpty())
            QVERIFY2(reports.first().startsWith(err), qPrintable(reports.first()));
        QCOMPARE(QFile::exists(folder.filePath(QStringLiteral("back.txt"))), uploaded);
    }
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
