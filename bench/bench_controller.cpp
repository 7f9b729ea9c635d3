// The whole controller against the simulator paced at 38400 baud, every one
// of its 15 channels full (200 three-axis steps): the state of every channel
// (Refresh), a backup, and a restore with its read-back, each against the
// time the bytes of both directions need on such a line (10 bits per byte).
// A ratio near 1 means the host adds next to nothing to the line time. The
// simulator runs as its own process, as a controller would. Run by hand or
// with `make bench`.

#include "BenchSupport.h"

#include "link/ControllerJobs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <functional>
#include <utility>

namespace {

constexpr int kBaud = 38400;
constexpr int kSteps = 200;

// The simulator's store with every channel full.
bool writeStore(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int ch = 1; ch <= 15; ++ch) {
        for (int step = 1; step <= kSteps; ++step)
            file.write(QStringLiteral("%1 AGO:A%2|AGO:B-%2|AGO:C%3\n")
                           .arg(ch, 2, 10, QLatin1Char('0'))
                           .arg(step * 1000 + ch)
                           .arg(step)
                           .toLatin1());
    }
    return true;
}

bool await(ChannelJob &job)
{
    QEventLoop loop;
    QObject::connect(&job, &ChannelJob::busyChanged, &loop, &QEventLoop::quit);
    if (job.busy())
        loop.exec();
    if (!job.result().ok())
        std::fprintf(stderr, "failed: %s\n", qPrintable(job.result().reason));
    return job.result().ok();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    const QString store = work.filePath(QStringLiteral("store.txt"));
    if (!writeStore(store))
        return 1;
    QProcess sim;
    const QString device =
        startSimulator(sim, {QStringLiteral("--baud"), QString::number(kBaud), QStringLiteral("--store"), store});
    if (device.isEmpty())
        return 1;

    BenchRun bench(device, kBaud);
    AppContext &ctx = bench.ctx;
    qint64 bytes = 0;
    QObject::connect(&ctx.link, &SerialLink::traffic, &ctx.link,
                     [&](const QByteArray &text, bool) { bytes += text.size(); });
    // Runs a job from `start` to its end: its seconds and its ratio to the
    // line time of the bytes it exchanged; seconds < 0 when it failed.
    const auto timed = [&](ChannelJob &job, const std::function<void()> &start) {
        bytes = 0;
        QElapsedTimer clock;
        clock.start();
        start();
        if (!await(job))
            return std::pair<double, double>(-1, 0);
        const double ns = double(clock.nsecsElapsed());
        return std::pair<double, double>(ns / 1e9, ns / (double(bytes) * 10.0 / kBaud * 1e9));
    };

    ChannelSurvey survey(ctx);
    const auto [surveyS, surveyRatio] = timed(survey, [&] { survey.start(); });
    const QString folder = work.filePath(QStringLiteral("backup"));
    BackupSession backup(ctx);
    const auto [backupS, backupRatio] = timed(backup, [&] { backup.start(folder, 3); });
    RestoreSession restore(ctx);
    if (surveyS < 0 || backupS < 0 || !restore.check(folder, {})) {
        std::fprintf(stderr, "%s\n", qPrintable(restore.problems().join(u'\n')));
        return 1;
    }
    const auto [restoreS, restoreRatio] = timed(restore, [&] { restore.start(); });
    if (restoreS < 0)
        return 1;
    const double surveyMs = surveyS * 1000;

    std::printf("state of 15 channels at %d baud: %.0f ms, %.3f x the line time (target < 500 ms)\n", kBaud,
                surveyMs, surveyRatio);
    std::printf("backup of 15 channels of %d three-axis steps: %.1f s, %.3f x the line time (target <= 1.05)\n",
                kSteps, backupS, backupRatio);
    std::printf("restore with read-back of the same: %.1f s, %.3f x the line time (target <= 1.05)\n", restoreS,
                restoreRatio);
    sim.terminate();
    sim.waitForFinished();
    return 0;
}
