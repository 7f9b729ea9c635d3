#include "link/AppContext.h"
#include "link/ControllerJobs.h"
#include "link/LineValues.h"
#include "link/LinkCheck.h"
#include "link/NetworkPort.h"
#include "link/NetworkTransport.h"
#include "link/RunControlSession.h"
#include "link/TelnetComPort.h"
#include "link/UploadSession.h"
#include "program/ProgramFile.h"
#include "support/EnglishRun.h"
#include "support/ProgramLines.h"
#include "support/ScriptedPresenter.h"
#include "support/Ser2net.h"
#include "support/SimLine.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// The simulated controller behind a real ser2net, and a run of the editor
// that reaches it through the network.
struct Gateway
{
    Gateway() : sim(startSimulator({})), ctx(presenter)
    {
        QString error;
        const QList<Ser2net::Ports> served = server.start({sim->devicePath()}, &error);
        if (served.isEmpty())
            qFatal("%s", qPrintable(error));
        ports = served.first();
        buildEnglishRun(ctx, dir, 2);
        ctx.link.intervals.reply = 1000ms;
    }
    void use(const QString &device, int baudIndex = 2)
    {
        ctx.comSettings.setAppliedLine(LineValues::line(device, baudIndex, 1, 2, 1));
    }
    // Waits for the next finished() of a session or job.
    template <class Session> LinkSession::Result await(Session &session, auto start)
    {
        QEventLoop loop;
        LinkSession::Result result;
        result.outcome = LinkSession::Outcome::Stopped;
        result.reason = QStringLiteral("did not finish");
        QObject::connect(&session, &Session::finished, &loop, [&](const LinkSession::Result &r) {
            result = r;
            loop.quit();
        });
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        start();
        loop.exec();
        return result;
    }
    // The speed the controller's line is set to while a command of it is
    // being received.
    speed_t speedAt(const QString &command)
    {
        speed_t speed = B0;
        QObject::connect(sim.get(), &SimController::commandReceived, sim.get(), [&, command](const QString &c) {
            if (c != command)
                return;
            const int fd = ::open(QFile::encodeName(sim->devicePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            termios t{};
            if (fd >= 0 && ::tcgetattr(fd, &t) == 0)
                speed = ::cfgetospeed(&t);
            if (fd >= 0)
                ::close(fd);
        });
        LinkCheck check(ctx);
        await(check, [&] { check.start(); });
        sim->disconnect(sim.get());
        return speed;
    }

    std::unique_ptr<SimController> sim;
    Ser2net server;
    Ser2net::Ports ports;
    QTemporaryDir dir;
    ScriptedPresenter presenter;
    AppContext ctx;
};

const QStringList kProgram{"H:,H:", "AGO:100,AGO:-200", "R:5,R:6", "W:3,U00:"};

QString velomatCli()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velomat-cli");
}

} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private slots:
    void portNames_data();
    void portNames();
    void operations_data();
    void operations();
    void baudReachesServer();
    void probe_data();
    void probe();
    void inUse_data();
    void inUse();
    void cli_data();
    void cli();
};

void TestNetwork::portNames_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("parsed"); // protocol host port, empty when refused

    QTest::newRow("raw") << "tcp://line4-gateway:4001" << true << "raw line4-gateway 4001";
    QTest::newRow("rfc 2217, upper case scheme") << "RFC2217://10.0.0.7:2217" << true << "rfc 10.0.0.7 2217";
    QTest::newRow("IPv6") << "rfc2217://[::1]:2217" << true << "rfc ::1 2217";
    QTest::newRow("a trailing slash") << "tcp://gw:4001/" << true << "raw gw 4001";
    QTest::newRow("no port") << "tcp://gw" << true << "";
    QTest::newRow("port 0") << "tcp://gw:0" << true << "";
    QTest::newRow("port too large") << "tcp://gw:70000" << true << "";
    QTest::newRow("a path") << "rfc2217://gw:2217/ttyS0" << true << "";
    QTest::newRow("another scheme") << "telnet://gw:23" << true << "";
    QTest::newRow("a device path") << "/dev/ttyUSB0" << false << "";
}

void TestNetwork::portNames()
{
    QFETCH(QString, device);
    QFETCH(bool, network);
    QFETCH(QString, parsed);
    QCOMPARE(NetworkPort::isNetwork(device), network);
    const std::optional<NetworkPort> port = NetworkPort::parse(device);
    QCOMPARE(port.has_value(), !parsed.isEmpty());
    if (port) {
        const QString raw = port->protocol == NetworkPort::Protocol::Raw ? "raw" : "rfc";
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(raw, port->host).arg(port->port), parsed);
    }
}

void TestNetwork::operations_data()
{
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("raw TCP") << false;
    QTest::newRow("RFC 2217") << true;
}

// Every operation through ser2net, as over a local adapter: the check, a
// download verified by reading it back, an upload, run and stop. Each chain
// has a connection of its own, so the server is free between them.
void TestNetwork::operations()
{
    QFETCH(bool, rfc2217);
    Gateway g;
    const QString device = rfc2217 ? g.ports.rfc2217 : g.ports.raw;
    g.use(device);
    using Outcome = LinkSession::Outcome;

    LinkCheck check(g.ctx);
    QCOMPARE(g.await(check, [&] { check.start(); }).outcome, Outcome::Done);
    QVERIFY(!g.ctx.link.isOpen());
    // The check names the port, and the line settings where the client
    // sets them.
    QCOMPARE(g.presenter.shown.size(), 1);
    QVERIFY(g.presenter.shown.takeFirst().text.endsWith(
        rfc2217 ? QStringLiteral(", 9600,N,8,1") : QStringLiteral(", the line settings of the server")));
    // Free for another workstation.
    NetworkProbe probe(nullptr);
    QSignalSpy probed(&probe, &NetworkProbe::finished);
    probe.start(g.ctx.comSettings.appliedLine());
    QVERIFY(probed.wait(3000));
    QCOMPARE(probed.first().at(0).toBool(), true);

    const QList<ProgStep> program = programSteps(g.ctx.catalogue, 2, kProgram);
    ProgramDownload download(g.ctx);
    QCOMPARE(g.await(download, [&] { download.start(program, 3); }).outcome, Outcome::Done);
    QCOMPARE(download.state(), QStringLiteral("L004"));
    CompareSession verify(g.ctx);
    QCOMPARE(g.await(verify, [&] { verify.start(3, program, 2); }).outcome, Outcome::Done);
    QVERIFY(verify.equal());

    ChannelsUpload upload(g.ctx);
    QList<ProgStep> uploaded;
    QObject::connect(&upload, &ChannelsUpload::uploaded, &upload,
                     [&](const UploadSession &s) { uploaded = s.steps(2); });
    QCOMPARE(g.await(upload, [&] { upload.start({3}); }).outcome, Outcome::Done);
    QCOMPARE(uploaded.size(), program.size());

    RunControlSession control(g.ctx);
    QCOMPARE(g.await(control, [&] { control.open(3); }).outcome, Outcome::Done);
    const LinkSession::Result ran = g.await(control, [&] { control.run(3); });
    QVERIFY2(ran.outcome == Outcome::Done, qPrintable(ran.reason));
    QTRY_VERIFY2(g.sim->commands().contains(QStringLiteral("Z:03")), qPrintable(g.sim->commands().join(u' ')));
    QCOMPARE(g.await(control, [&] { control.stop(3); }).outcome, Outcome::Done);
    QTRY_VERIFY2(g.sim->commands().contains(QStringLiteral("U07:")), qPrintable(g.sim->commands().join(u' ')));
    QVERIFY(!g.ctx.link.isOpen());
    QVERIFY(g.presenter.shown.isEmpty());
}

// With RFC 2217 the line settings are the client's: a change of speed in
// the settings reaches the controller's line through the server.
void TestNetwork::baudReachesServer()
{
    Gateway g;
    const QStringList bauds = LineValues::words(LineValues::Parameter::Baud);
    const struct { QString words; speed_t speed; } rows[] = {{"38400", B38400}, {"9600", B9600}, {"4800", B4800}};
    for (const auto &row : rows) {
        const int index = int(bauds.indexOf(row.words)) + 1;
        QVERIFY2(index > 0, qPrintable(row.words));
        g.use(g.ports.rfc2217, index);
        QCOMPARE(g.speedAt(QStringLiteral("CHINF:01")), row.speed);
    }
}

void TestNetwork::probe_data()
{
    QTest::addColumn<QString>("port"); // raw, rfc2217, plain, refused, unknown host, in use
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("reason");

    QTest::newRow("raw TCP") << "raw" << true << "";
    QTest::newRow("RFC 2217") << "rfc2217" << true << "";
    QTest::newRow("Telnet without the COM port option") << "plain" << false << "does not speak RFC 2217";
    QTest::newRow("nothing serves the port") << "refused" << false << "connection refused";
    QTest::newRow("a host that does not exist") << "unknown host" << false << "host not found";
    QTest::newRow("another client holds the port") << "in use" << false << "in use";
    QTest::newRow("RFC 2217 asked of a raw port") << "rfc2217 on raw" << false << "does not answer the RFC 2217";
}

void TestNetwork::probe()
{
    QFETCH(QString, port);
    QFETCH(bool, ok);
    QFETCH(QString, reason);
    Gateway g;
    QString device = port == "raw" || port == "in use" ? g.ports.raw
        : port == "rfc2217"                              ? g.ports.rfc2217
        : port == "plain"                                ? g.ports.plainTelnet
        : port == "unknown host"                         ? QStringLiteral("tcp://no-such-host.invalid:4001")
                                                         : QString();
    if (port == "refused") {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        device = QStringLiteral("tcp://127.0.0.1:%1").arg(closed.serverPort());
    }
    if (port == "rfc2217 on raw")
        device = QString(g.ports.raw).replace(QLatin1String("tcp:"), QLatin1String("rfc2217:"));
    QTcpSocket other;
    if (port == "in use") {
        other.connectToHost(QHostAddress::LocalHost, NetworkPort::parse(device)->port);
        QVERIFY(other.waitForConnected(2000));
        QTest::qWait(100);
    }
    g.use(device);
    NetworkProbe probe(nullptr);
    QSignalSpy probed(&probe, &NetworkProbe::finished);
    probe.start(g.ctx.comSettings.appliedLine());
    QVERIFY(probed.wait(3000));
    QCOMPARE(probed.first().at(0).toBool(), ok);
    QVERIFY2(probed.first().at(1).toString().contains(reason), qPrintable(probed.first().at(1).toString()));
}

void TestNetwork::inUse_data()
{
    operations_data();
}

// Another workstation holds the server's port: an operation says so, as
// the settings' probe does, and sends nothing.
void TestNetwork::inUse()
{
    QFETCH(bool, rfc2217);
    Gateway g;
    const QString device = rfc2217 ? g.ports.rfc2217 : g.ports.raw;
    QTcpSocket other;
    other.connectToHost(QHostAddress::LocalHost, NetworkPort::parse(device)->port);
    QVERIFY(other.waitForConnected(2000));
    QTest::qWait(100);
    g.use(device);
    LinkCheck check(g.ctx);
    const LinkSession::Result r = g.await(check, [&] { check.start(); });
    QCOMPARE(r.outcome, LinkSession::Outcome::PortFailed);
    QVERIFY2(r.reason.contains(QStringLiteral("in use")), qPrintable(r.reason));
    QVERIFY(g.sim->commands().isEmpty());
}

void TestNetwork::cli_data()
{
    operations_data();
}

// velomat-cli through ser2net: one pass over the commands.
void TestNetwork::cli()
{
    QFETCH(bool, rfc2217);
    Gateway g;
    const QString port = rfc2217 ? g.ports.rfc2217 : g.ports.raw;
    QFile file(g.dir.filePath(QStringLiteral("prog.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("AXIS=2\r\n" + kProgram.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
    file.close();
    const QList<QStringList> commands{{"ping"},
                                      {"download", "--verify", "prog.txt", "--channel", "5"},
                                      {"upload", "--channel", "5", "-o", "back.txt"},
                                      {"run", "--channel", "5"},
                                      {"stop", "--channel", "5"}};
    for (const QStringList &args : commands) {
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELOMAT_HOME"), g.dir.path());
        cli.setProcessEnvironment(env);
        cli.setWorkingDirectory(g.dir.path());
        cli.start(velomatCli(), args + QStringList{"--port", port, "--lang", "1"});
        // Waited for with events running: the simulator answers in this
        // process.
        QSignalSpy finished(&cli, &QProcess::finished);
        QVERIFY(finished.wait(15000));
        QVERIFY2(cli.exitCode() == 0, qPrintable(args.join(u' ') + ": " + cli.readAllStandardError()));
    }
    QTRY_VERIFY2(g.sim->commands().contains(QStringLiteral("Z:05")), qPrintable(g.sim->commands().join(u' ')));
    QTRY_VERIFY2(g.sim->commands().contains(QStringLiteral("U07:")), qPrintable(g.sim->commands().join(u' ')));
    QVERIFY(QFile::exists(g.dir.filePath(QStringLiteral("back.txt"))));
}

QTEST_MAIN(TestNetwork)
#include "tst_network.moc"
