// Host turnaround of a download, measured where a controller would see it:
// from the moment the last byte of a reply is written at the controller's
// end of the line to the moment the next request has come in whole. Three
// hosts download the same 200-step three-axis program over a pseudo-
// terminal to the same responder:
//
//   - minimal_host, a blocking write() and a blocking read() per exchange,
//     the least a host can add (the yardstick);
//   - velomat-cli download, run as its own process, its progress on stderr;
//   - the download dialog (dlgDown) on the offscreen platform, its
//     progress bar and traffic log updated as a user would see them.
//
// The responder is a thread of this benchmark with blocking I/O on the
// pty's master side; it paces its line at kLineBaud (a request counts as
// arriving at that rate from its first byte, each reply is handed over
// whole when its last byte would be on a real line), so that a download's
// time can be set against the time its bytes need on such a line. A pty
// itself carries bytes at once, whatever speed the hosts set on their end.
//
// Prints per host the median and 99th percentile turnaround, the excess of
// its median over the minimal host's, and the download's time as a
// multiple of the line time (bytes of both directions, ten bits each).
// Run by hand or with `make bench`; QT_QPA_PLATFORM defaults to offscreen.

#include "BenchSupport.h"

#include "link/AppContext.h"
#include "link/DownloadSession.h"
#include "link/StepList.h"
#include "program/ProgramFile.h"
#include "program/SendText.h"
#include "transfer/dlgDown.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

constexpr int kLineBaud = 115200;
// What the hosts set on their port: the highest rate the settings offer.
constexpr int kHostBaud = 38400;
constexpr int kSteps = 200;
constexpr int kRounds = 5;
constexpr char kAck = '\x06';

qint64 nowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Sleeps to shortly before `dueNs`, then spins, so that the reply leaves
// within a microsecond of its time however coarse the sleep is.
void waitUntil(qint64 dueNs)
{
    const qint64 wakeNs = dueNs - 150'000;
    if (wakeNs > nowNs()) {
        const timespec ts{time_t(wakeNs / 1'000'000'000), long(wakeNs % 1'000'000'000)};
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }
    while (nowNs() < dueNs) {
    }
}

// One request and its reply, as the responder saw them.
struct Exchange
{
    QByteArray request;      // without its line end
    QByteArray reply;        // with its line end
    qint64 firstByteNs = 0;  // first byte of the request read
    qint64 requestNs = 0;    // the request's line end read
    qint64 replyNs = 0;      // the reply's last byte written
};

// The controller's end of the line: answers a download as a controller
// does (OK, the channel state, ACK) and records when each request came in
// and each reply went out.
class Responder
{
public:
    ~Responder() { stop(); }

    bool open(QString *error)
    {
        if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) {
            *error = QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        termios t{};
        for (int fd : {m_master, m_slave}) {
            ::tcgetattr(fd, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
        m_device = QString::fromLocal8Bit(::ttyname(m_slave));
        // The slave stays open here too, so that the master sees no hang-up
        // while a host has closed its port between two chains.
        m_thread = std::thread([this] { serve(); });
        return true;
    }

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (int *fd : {&m_master, &m_slave}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    }

    QString device() const { return m_device; }

    // The exchanges since the last call; the channel is empty again.
    std::vector<Exchange> take()
    {
        const std::lock_guard lock(m_mutex);
        m_storedSteps = 0;
        return std::exchange(m_exchanges, {});
    }

private:
    void serve()
    {
#ifdef __linux__
        // Sleeps end when asked, not up to 50 us later.
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
        const double byteNs = 1e10 / kLineBaud;
        QByteArray line;
        qint64 firstByteNs = -1;
        qint64 lineFreeNs = 0;
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            const qint64 readNs = nowNs();
            for (ssize_t i = 0; i < n; ++i) {
                if (firstByteNs < 0)
                    firstByteNs = readNs;
                const char c = buffer[i];
                if (c == '\r')
                    continue;
                if (c != '\n') {
                    line += c;
                    continue;
                }
                Exchange ex;
                ex.request = std::exchange(line, {});
                ex.firstByteNs = std::exchange(firstByteNs, -1);
                ex.requestNs = readNs;
                ex.reply = answer(ex.request) + "\r\n";
                // The request arrives at the line's rate from its first
                // byte, the reply follows it (and any reply before it).
                const qint64 arrived = ex.firstByteNs + qint64(double(ex.request.size() + 2) * byteNs);
                const qint64 due = std::max(arrived, lineFreeNs) + qint64(double(ex.reply.size()) * byteNs);
                waitUntil(due);
                qsizetype written = 0;
                while (written < ex.reply.size()) {
                    const ssize_t w = ::write(m_master, ex.reply.constData() + written,
                                              size_t(ex.reply.size() - written));
                    if (w <= 0 && errno != EINTR)
                        break;
                    written += std::max<ssize_t>(w, 0);
                }
                ex.replyNs = nowNs();
                lineFreeNs = ex.replyNs;
                const std::lock_guard lock(m_mutex);
                m_exchanges.push_back(std::move(ex));
            }
        }
    }

    QByteArray answer(const QByteArray &request)
    {
        const std::lock_guard lock(m_mutex);
        const QByteArray keyword = request.left(request.indexOf(':'));
        if (request == "?:")
            return "OK";
        if (keyword == "CHINF")
            return m_storedSteps ? 'L' + QByteArray::number(m_storedSteps).rightJustified(3, '0') : "N";
        if (keyword == "LOAD") {
            m_loading = true;
            m_loadedSteps = 0;
            return QByteArray(1, kAck);
        }
        if (keyword == "PGWRT" && m_loading) {
            m_loading = false;
            m_storedSteps = m_loadedSteps;
            return QByteArray(1, kAck);
        }
        if (keyword == "REMOTE")
            return QByteArray(1, kAck);
        if (m_loading && !request.isEmpty() && keyword != "PGWRT") {
            ++m_loadedSteps;
            return QByteArray(1, kAck);
        }
        return "!1";
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_device;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Exchange> m_exchanges;
    bool m_loading = false;
    int m_loadedSteps = 0;
    int m_storedSteps = 0;
};

struct Host
{
    const char *name;
    QList<double> turnaroundMs;
    QList<double> ratios;
};

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const qsizetype at = std::clamp<qsizetype>(qsizetype(std::ceil(p * double(values.size()))) - 1, 0,
                                               values.size() - 1);
    return values.at(at);
}

// Takes one run's figures: the turnarounds from LOAD's reply to PGWRT:
// (LOAD -> step 1 ... step 200 -> PGWRT:) and the time from LOAD: to the
// reply to REMOTE: against the line time of the bytes in between. The
// requests go to `requests` for comparing the hosts' traffic.
bool takeRun(const std::vector<Exchange> &exchanges, Host &host, QList<QByteArray> *requests,
             QString *error)
{
    requests->clear();
    for (const Exchange &ex : exchanges)
        *requests << ex.request;
    const auto isKeyword = [](const Exchange &ex, const char *keyword) {
        return ex.request.startsWith(keyword);
    };
    const auto load = std::find_if(exchanges.begin(), exchanges.end(),
                                   [&](const Exchange &ex) { return isKeyword(ex, "LOAD:"); });
    const auto pgwrt = std::find_if(load, exchanges.end(),
                                    [&](const Exchange &ex) { return isKeyword(ex, "PGWRT:"); });
    const auto remote = std::find_if(pgwrt, exchanges.end(),
                                     [&](const Exchange &ex) { return isKeyword(ex, "REMOTE:"); });
    if (remote == exchanges.end() || pgwrt - load != kSteps + 1) {
        *error = QStringLiteral("the responder did not see a whole download (%1 requests)")
                     .arg(exchanges.size());
        return false;
    }
    for (auto ex = load; ex != pgwrt; ++ex)
        host.turnaroundMs << double((ex + 1)->requestNs - ex->replyNs) / 1e6;
    qint64 bytes = 0;
    for (auto ex = load; ex <= remote; ++ex)
        bytes += ex->request.size() + 2 + ex->reply.size();
    const double lineNs = double(bytes) * 10.0 / kLineBaud * 1e9;
    host.ratios << double(remote->replyNs - load->firstByteNs) / lineNs;
    return true;
}

// Runs a host as its own process. Its stderr is a pipe that is read as
// the host writes, as a terminal or a script that runs it would; it must
// end with `lastLine` when one is given.
bool runProcess(const QString &program, const QStringList &arguments, const QString &home,
                const QByteArray &lastLine, QString *error)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELOMAT_HOME"), home);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(60000);
    const QByteArray err = process.readAllStandardError().trimmed();
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0
        || !err.endsWith(lastLine)) {
        *error = QStringLiteral("%1 failed (exit %2): %3")
                     .arg(QFileInfo(program).fileName())
                     .arg(process.exitCode())
                     .arg(QString::fromLocal8Bit(err.right(300)));
        process.kill();
        process.waitForFinished();
        return false;
    }
    return true;
}

// The download as the main window runs it: the dialog opens (link reset,
// channel state), Transmit is clicked, the chain runs to its end, the
// dialog is closed.
bool runDialog(AppContext &ctx, StepSource &program, QString *error)
{
    dlgDown dlg(ctx, program, QStringLiteral("bench.txt"));
    DownloadSession &session = dlg.session();
    QSignalSpy opened(&session, &LinkSession::finished);
    dlg.vFormInitialize();
    dlg.show();
    if (!opened.wait(10000) || !session.result().ok()) {
        *error = QStringLiteral("the download dialog did not open its session");
        return false;
    }
    QSignalSpy done(&session, &LinkSession::finished);
    dlg.findChild<QPushButton *>(QStringLiteral("cmdTx"))->click();
    if (!done.wait(60000) || !session.result().ok()) {
        *error = QStringLiteral("the dialog's download did not complete");
        return false;
    }
    dlg.close();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The figures only: the offscreen platform's notes are no news here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    const QString binDir = QCoreApplication::applicationDirPath();
    const QString cliPath = QDir::cleanPath(binDir + QStringLiteral("/../bin/velomat-cli"));
    const QString minimalPath = binDir + QStringLiteral("/hosts/minimal_host");

    Responder responder;
    QString error;
    if (!responder.open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    BenchRun run(responder.device(), kHostBaud);
    AppContext &ctx = run.ctx;

    // The program: 200 steps of three axes, as a file for velomat-cli, as
    // steps for the dialog and as command lines for the minimal host.
    QList<ProgStep> steps;
    for (int i = 1; i <= kSteps; ++i) {
        ProgStep step;
        for (const QString &distance : {QString::number(i * 100), QString::number(-i * 50),
                                        QString::number(i)})
            step << ProgCell{1, {distance}};
        steps << step;
    }
    const QString programPath = run.home.filePath(QStringLiteral("bench.txt"));
    QFile programFile(programPath);
    if (!programFile.open(QIODevice::WriteOnly)
        || programFile.write(ProgramFile::writeProgram(ctx.catalogue, 3, steps)) < 0) {
        std::fprintf(stderr, "%s cannot be written\n", qPrintable(programPath));
        return 1;
    }
    programFile.close();
    const ProgramFile::ReadResult read =
        ProgramFile::readProgram(ctx.catalogue, ProgramFile::writeProgram(ctx.catalogue, 3, steps), 3,
                                 ctx.run.maxStep);
    if (read.status != ProgramFile::ReadResult::Ok || read.steps.size() != kSteps) {
        std::fprintf(stderr, "the benchmark's program is refused: %s\n", qPrintable(read.reason));
        return 1;
    }
    StepList program(ctx.catalogue, read.steps);
    QByteArray commands = "?:\nCHINF:01\nLOAD:01\n";
    for (int i = 1; i <= kSteps; ++i)
        commands += program.getSendStep(i).toLatin1() + '\n';
    commands += "PGWRT:\nREMOTE:\nCHINF:01\n";
    const QString commandsPath = run.home.filePath(QStringLiteral("commands.txt"));
    QFile commandsFile(commandsPath);
    if (!commandsFile.open(QIODevice::WriteOnly) || commandsFile.write(commands) < 0) {
        std::fprintf(stderr, "%s cannot be written\n", qPrintable(commandsPath));
        return 1;
    }
    commandsFile.close();

    Host minimal{"minimal blocking host", {}, {}};
    Host cli{"velomat-cli download", {}, {}};
    Host dialog{"download dialog (dlgDown)", {}, {}};
    const QList<QByteArray> expected = commands.trimmed().split('\n');
    QList<QByteArray> requests;
    const auto check = [&](bool ran, Host &host) {
        if (ran && takeRun(responder.take(), host, &requests, &error)) {
            if (requests == expected)
                return true;
            error = QStringLiteral("%1 sent other traffic than the minimal host").arg(QLatin1String(host.name));
        }
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    };
    // The hosts take turns, so that a busy spell of the machine falls on
    // all of them alike.
    for (int round = 0; round < kRounds; ++round) {
        if (!check(runProcess(minimalPath, {responder.device(), commandsPath}, run.home.path(), {}, &error), minimal)
            || !check(runProcess(cliPath,
                                 {QStringLiteral("download"), programPath, QStringLiteral("--port"),
                                  responder.device(), QStringLiteral("--baud"), QString::number(kHostBaud),
                                  QStringLiteral("--channel"), QStringLiteral("1")},
                                 run.home.path(), "step " + QByteArray::number(kSteps) + '/'
                                     + QByteArray::number(kSteps), &error),
                      cli)
            || !check(runDialog(ctx, program, &error), dialog))
            return 1;
    }
    responder.stop();

    std::printf("host turnaround of a %d-step download (last byte of a reply written -> next request "
                "complete, at the controller's end of a pty paced at %d baud; %d downloads, %d "
                "turnarounds per host):\n",
                kSteps, kLineBaud, kRounds, int(minimal.turnaroundMs.size()));
    const double base = percentile(minimal.turnaroundMs, 0.5);
    for (const Host *host : {&minimal, &cli, &dialog}) {
        const double median = percentile(host->turnaroundMs, 0.5);
        std::printf("  %-27s median %.3f ms  p99 %.3f ms  excess %+.3f ms  download %.3f x the line time\n",
                    host->name, median, percentile(host->turnaroundMs, 0.99), median - base,
                    percentile(host->ratios, 0.5));
    }
    std::printf("  target: excess over the minimal host <= 0.050 ms (median), p99 < 1 ms\n");
    return 0;
}
