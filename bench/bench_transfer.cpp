// Download and upload of a full 200-step three-axis program to the
// simulated controller paced at 38400 baud, against the time the bytes of
// both directions need on such a line (10 bits per byte). A ratio near 1
// means the host adds next to nothing to the line time. The simulator runs
// as its own process, as a controller would. Run by hand or with
// `make bench`.

#include "BenchSupport.h"

#include "link/AppContext.h"
#include "link/DownloadSession.h"
#include "link/UploadSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>

#include <algorithm>
#include <functional>
#include <cstdio>

namespace {

constexpr int kBaud = 38400;
constexpr int kSteps = 200;

class Program : public StepSource
{
public:
    int getStep() const override { return kSteps; }
    QString getSendStep(int step) const override
    {
        return QStringLiteral("AGO:A%1|AGO:B-%1|AGO:C%2").arg(step * 1000).arg(step);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QProcess sim;
    const QString device = startSimulator(sim, {QStringLiteral("--baud"), QString::number(kBaud)});
    if (device.isEmpty())
        return 1;

    BenchRun bench(device, kBaud);
    AppContext &ctx = bench.ctx;
    SerialLink &link = ctx.link;
    Program program;
    QElapsedTimer clock;

    qint64 bytes = 0;
    QObject::connect(&link, &SerialLink::traffic, &link,
                     [&](const QByteArray &text, bool) { bytes += text.size(); });
    auto ratio = [&](qint64 ns) { return double(ns) / (double(bytes) * 10.0 / kBaud * 1e9); };
    // Runs one chain of a session to its end; false when it failed.
    auto run = [](LinkSession &session, const std::function<void()> &start) {
        QSignalSpy done(&session, &LinkSession::finished);
        start();
        return (!session.busy() || done.wait(120000)) && session.result().ok();
    };

    DownloadSession download(ctx, program);
    UploadSession upload(ctx);
    QList<double> down, up;
    for (int round = 0; round < 3; ++round) {
        if (!run(download, [&] { download.open(1); })) {
            std::fprintf(stderr, "the download dialog's link reset failed\n");
            return 1;
        }
        bytes = 0;
        clock.start();
        if (!run(download, [&] { download.start(1); })) {
            std::fprintf(stderr, "the download did not complete\n");
            return 1;
        }
        down << ratio(clock.nsecsElapsed());
        download.close();

        if (!run(upload, [&] { upload.open(1); })) {
            std::fprintf(stderr, "the upload dialog's link reset failed\n");
            return 1;
        }
        bytes = 0;
        clock.start();
        if (!run(upload, [&] { upload.start(1); }) || !upload.hasProgram()) {
            std::fprintf(stderr, "the upload did not complete\n");
            return 1;
        }
        up << ratio(clock.nsecsElapsed());
        upload.close();
    }
    std::sort(down.begin(), down.end());
    std::sort(up.begin(), up.end());
    std::printf("download of 200 three-axis steps at %d baud: %.3f x the line time (target <= 1.02)\n",
                kBaud, down.at(down.size() / 2));
    std::printf("upload of the same program: %.3f x the line time (target <= 1.02)\n", up.at(up.size() / 2));
    sim.terminate();
    sim.waitForFinished();
    return 0;
}
