// The link through a serial device server against the link on the local
// line, side by side in one run. The simulated controller sits on a pty;
// the host reaches it (a) through the pty directly, (b) through a real
// ser2net over raw TCP and (c) through the same ser2net over RFC 2217:
//
//   - the turnaround of one short exchange ("?:" answered "OK") through a
//     bare SerialLink that stays open, from the command handed to the link
//     to its reply line complete, for chains of exchanges on one
//     connection; the excess of (b) and (c) over (a) is what the device
//     server and the network code add to every exchange. Once with the
//     reply handed over whole, once with its LF 1 ms behind its CR, as a
//     USB serial adapter may deliver it: the server then passes the reply
//     on in two pieces;
//   - a 200-step three-axis download against the simulator paced at 9600
//     baud (the settings' default), against the time its bytes of both
//     directions need on such a line (ten bits per byte): once as the
//     download dialog runs it (LOAD, every step, PGWRT, REMOTE and the
//     state, one chain), once as a job with the reset, the state and the
//     read-back (three chains). Each chain opens its own connection, so
//     the connecting is in the figures.
//
// The paths take turns, so that a busy spell of the machine falls on all
// of them alike. Run by hand or with `make bench`; exits non-zero when
// ser2net is not installed.

#include "BenchSupport.h"

#include "link/ControllerJobs.h"
#include "link/DownloadSession.h"
#include "link/StepList.h"
#include "link/NetworkTransport.h"
#include "link/SerialLink.h"
#include "support/Ser2net.h"
#include "support/SimLine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <utility>

namespace {

// The line's speed in the downloads: the settings' default.
constexpr int kBaud = 9600;
constexpr int kRounds = 2;
constexpr int kExchanges = 200;     // per chain, after the warm-up
constexpr int kSplitExchanges = 50; // per chain of replies in two pieces
constexpr int kWarmUp = 10;         // the connection, the line-end detection
constexpr double kExcessGoalMs = 0.3;
constexpr double kRatioGoal = 1.05;

struct Path
{
    const char *name;
    QString quick; // the device of the unpaced simulator
    QString split; // the unpaced simulator whose LF follows its CR 1 ms later
    QString paced; // the device of the simulator paced at kBaud
    QList<double> turnaroundMs;
    QList<double> splitMs;
    QList<double> downloadS;
    QList<double> ratios;
    QList<double> chainS;
    QList<double> chainRatios;
};

// One chain of "?:" exchanges on a bare link that stays open: the time
// from each command handed to the link to its reply line complete, the
// warm-up left out. Empty, with the reason, when the chain broke.
QList<double> exchangeChain(const QString &device, int exchanges, QString *error)
{
    SerialLine line;
    line.device = device;
    line.baud = kBaud;
    SerialLink link(line);
    SerialLinkProbe::arm(link);
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    qint64 sentNs = 0;
    int answered = 0;
    QList<double> times;
    const auto send = [&] {
        sentNs = clock.nsecsElapsed();
        if (!link.sendText("?:\r\n")) {
            *error = link.lastError();
            loop.quit();
        }
    };
    // The next command goes out from the handling of the reply, as the
    // command set sends the next request of a chain.
    QObject::connect(&link, &SerialLink::lineReceived, &loop, [&](const QByteArray &reply) {
        const double ms = double(clock.nsecsElapsed() - sentNs) / 1e6;
        if (reply != "OK") {
            *error = QStringLiteral("unexpected reply \"%1\"").arg(QString::fromLatin1(reply));
            loop.quit();
            return;
        }
        if (++answered > kWarmUp)
            times << ms;
        if (answered == kWarmUp + exchanges)
            loop.quit();
        else
            send();
    });
    const auto broke = [&](const QString &reason) {
        *error = reason;
        loop.quit();
    };
    QObject::connect(&link, &SerialLink::openFailed, &loop, broke);
    QObject::connect(&link, &SerialLink::portLost, &loop, broke);
    QTimer::singleShot(60000, &loop, [&] { broke(QStringLiteral("the chain did not complete")); });
    QTimer::singleShot(0, &loop, send);
    loop.exec();
    link.closePort();
    NetworkTransport::awaitClosed(std::chrono::milliseconds(2000));
    if (!error->isEmpty())
        return {};
    return times;
}

// The link of the run on `device` at the downloads' speed.
void useLine(AppContext &ctx, const QString &device)
{
    SerialLine line;
    line.device = device;
    line.baud = kBaud;
    ctx.comSettings.setAppliedLine(line);
}

// The bytes both ways on the link, added up into `bytes` until the
// connection is broken off.
QMetaObject::Connection countTraffic(AppContext &ctx, qint64 *bytes)
{
    return QObject::connect(&ctx.link, &SerialLink::traffic, &ctx.link,
                            [bytes](const QByteArray &text, bool) { *bytes += text.size(); });
}

// The whole download of `steps` into channel 1 over `device`: its seconds
// and its ratio to the line time of the bytes it exchanged; seconds < 0,
// with the reason, when it failed.
std::pair<double, double> download(BenchRun &bench, const QString &device, const QList<ProgStep> &steps,
                                   QString *error)
{
    AppContext &ctx = bench.ctx;
    useLine(ctx, device);
    qint64 bytes = 0;
    const QMetaObject::Connection counting = countTraffic(ctx, &bytes);
    ProgramDownload job(ctx);
    QEventLoop loop;
    QObject::connect(&job, &ChannelJob::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    job.start(steps, 1);
    if (job.busy())
        loop.exec();
    const double ns = double(clock.nsecsElapsed());
    QObject::disconnect(counting);
    NetworkTransport::awaitClosed(std::chrono::milliseconds(2000));
    if (!job.result().ok()) {
        const LinkSession::Result &r = job.result();
        *error = QStringLiteral("outcome %1 at channel %2, command \"%3\", reply \"%4\" %5")
                     .arg(int(r.outcome))
                     .arg(job.channel())
                     .arg(QString::fromLatin1(r.command), QString::fromLatin1(r.reply), r.reason);
        return {-1, 0};
    }
    if (job.state() != QStringLiteral("L%1").arg(steps.size(), 3, 10, QLatin1Char('0'))) {
        *error = QStringLiteral("the channel reports %1 after the download").arg(job.state());
        return {-1, 0};
    }
    return {ns / 1e9, ns / (double(bytes) * 10.0 / kBaud * 1e9)};
}

// The download as the download dialog runs it, once the dialog has read
// the channel's state: one chain, one connection (LOAD, the steps, PGWRT,
// REMOTE and the state read again). Its seconds and its ratio to the line
// time of the bytes it exchanged; seconds < 0, with the reason, when it
// failed.
std::pair<double, double> downloadChain(BenchRun &bench, const QString &device, const QList<ProgStep> &steps,
                                        QString *error)
{
    AppContext &ctx = bench.ctx;
    useLine(ctx, device);
    StepList program(ctx.catalogue, steps);
    DownloadSession session(ctx, program);
    QEventLoop loop;
    QObject::connect(&session, &LinkSession::finished, &loop, &QEventLoop::quit);
    session.open(1);
    if (session.busy())
        loop.exec();
    NetworkTransport::awaitClosed(std::chrono::milliseconds(2000));
    qint64 bytes = 0;
    const QMetaObject::Connection counting = countTraffic(ctx, &bytes);
    QElapsedTimer clock;
    clock.start();
    if (session.start(1) && session.busy())
        loop.exec();
    const double ns = double(clock.nsecsElapsed());
    QObject::disconnect(counting);
    NetworkTransport::awaitClosed(std::chrono::milliseconds(2000));
    if (!session.result().ok() || !session.completed()) {
        *error = QStringLiteral("the download did not complete: %1").arg(session.result().reason);
        return {-1, 0};
    }
    return {ns / 1e9, ns / (double(bytes) * 10.0 / kBaud * 1e9)};
}

const char *verdict(bool met)
{
    return met ? "meets" : "MISSES";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (Ser2net::program().isEmpty()) {
        std::fprintf(stderr, "ser2net is not installed (scripts/install-deps installs it): nothing measured\n");
        return 1;
    }
    // Simulators of each kind per path: ser2net holds a device for a moment
    // after its client has gone, and would turn the next path away.
    std::array<std::unique_ptr<SimController>, 3> quick, split, paced;
    QStringList served;
    for (size_t i = 0; i < quick.size(); ++i) {
        quick[i] = startSimulator(QStringList());
        split[i] = startSimulator({QStringLiteral("lf-delay:1")});
        paced[i] = startSimulator({QStringLiteral("baud:%1").arg(kBaud)});
        if (i > 0)
            served << quick[i]->devicePath() << split[i]->devicePath() << paced[i]->devicePath();
    }
    Ser2net server;
    QString error;
    const QList<Ser2net::Ports> ports = server.start(served, &error);
    if (ports.size() != served.size()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    std::array<Path, 3> paths{{
        {"pty directly", quick[0]->devicePath(), split[0]->devicePath(), paced[0]->devicePath(), {}, {}, {}, {}, {}, {}},
        {"ser2net raw TCP", ports[0].raw, ports[1].raw, ports[2].raw, {}, {}, {}, {}, {}, {}},
        {"ser2net RFC 2217", ports[3].rfc2217, ports[4].rfc2217, ports[5].rfc2217, {}, {}, {}, {}, {}, {}},
    }};

    BenchRun bench(QString(), kBaud);
    const QList<ProgStep> steps = fullProgram(bench.ctx.catalogue, false);

    for (int round = 0; round < kRounds; ++round) {
        for (Path &path : paths) {
            const QList<double> times = exchangeChain(path.quick, kExchanges, &error);
            const QList<double> splitTimes =
                times.isEmpty() ? times : exchangeChain(path.split, kSplitExchanges, &error);
            if (splitTimes.isEmpty()) {
                std::fprintf(stderr, "%s: exchanges: %s\n", path.name, qPrintable(error));
                return 1;
            }
            path.turnaroundMs << times;
            path.splitMs << splitTimes;
        }
        for (Path &path : paths) {
            const auto [seconds, ratio] = download(bench, path.paced, steps, &error);
            if (seconds < 0) {
                std::fprintf(stderr, "%s: download: %s\n", path.name, qPrintable(error));
                return 1;
            }
            path.downloadS << seconds;
            path.ratios << ratio;
            const auto [chainSeconds, chainRatio] = downloadChain(bench, path.paced, steps, &error);
            if (chainSeconds < 0) {
                std::fprintf(stderr, "%s: download chain: %s\n", path.name, qPrintable(error));
                return 1;
            }
            path.chainS << chainSeconds;
            path.chainRatios << chainRatio;
        }
    }

    const auto turnarounds = [&](QList<double> Path::*times, const char *what, int exchanges) {
        std::printf("turnaround of \"?:\" -> \"OK\" through the link, command handed over -> reply line "
                    "complete, %s (%d chains of %d exchanges on one connection per path):\n",
                    what, kRounds, exchanges);
        const double base = median(paths[0].*times);
        for (const Path &path : paths) {
            QList<double> sorted = path.*times;
            std::sort(sorted.begin(), sorted.end());
            const double m = median(sorted);
            const double p99 = sorted.at(qsizetype(double(sorted.size()) * 0.99));
            if (&path == &paths[0])
                std::printf("  %-17s median %.3f ms  p99 %.3f ms\n", path.name, m, p99);
            else
                std::printf("  %-17s median %.3f ms  p99 %.3f ms  excess %+.3f ms (target <= %.1f ms: %s)\n",
                            path.name, m, p99, m - base, kExcessGoalMs, verdict(m - base <= kExcessGoalMs));
        }
    };
    turnarounds(&Path::turnaroundMs, "reply handed over whole", kExchanges);
    turnarounds(&Path::splitMs, "reply's LF 1 ms behind its CR", kSplitExchanges);
    const auto downloads = [&](QList<double> Path::*seconds, QList<double> Path::*ratios, const char *what,
                               bool goal) {
        std::printf("%zu-step three-axis download %s at %d baud (%d runs per path, median):\n",
                    size_t(steps.size()), what, kBaud, kRounds);
        for (const Path &path : paths) {
            const double ratio = median(path.*ratios);
            if (&path == &paths[0] || !goal)
                std::printf("  %-17s %.3f s  %.3f x the line time\n", path.name, median(path.*seconds), ratio);
            else
                std::printf("  %-17s %.3f s  %.3f x the line time (target <= %.2f: %s)\n", path.name,
                            median(path.*seconds), ratio, kRatioGoal, verdict(ratio <= kRatioGoal));
        }
    };
    downloads(&Path::chainS, &Path::chainRatios,
              "as the download dialog runs it (LOAD ... REMOTE and the state, one connection)", true);
    // Every chain connects anew, and a server opens and sets up its port
    // for each connection: that costs each chain some milliseconds.
    downloads(&Path::downloadS, &Path::ratios,
              "as a job with reset, state and read-back (three chains, three connections)", false);
    return 0;
}
