// Host turnaround of a download chain over a pseudo-terminal against the
// simulated controller: from the moment a reply line is complete to the
// moment the next command has been written, for every step of a 200-step
// download. Run by hand or with `make bench`.

#include "BenchSupport.h"

#include "link/AppContext.h"
#include "link/DownloadSession.h"
#include "sim/SimController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <algorithm>
#include <cstdio>

namespace {

class Steps : public StepSource
{
public:
    int getStep() const override { return 200; }
    QString getSendStep(int step) const override
    {
        return QStringLiteral("AGO:A%1|AGO:B-%1|AGO:C0").arg(step * 100);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimController sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    BenchRun run(sim.devicePath(), 38400);
    AppContext &ctx = run.ctx;
    SerialLink &link = ctx.link;
    Steps steps;
    DownloadSession session(ctx, steps);
    session.open(1);
    QSignalSpy opened(&session, &LinkSession::finished);
    if (session.busy() && !opened.wait(10000)) {
        std::fprintf(stderr, "the link reset was not answered\n");
        return 1;
    }

    // A reply line is complete when its chunk arrives; the next command is
    // written when the send has flushed it to the line.
    QElapsedTimer clock;
    clock.start();
    qint64 arrived = -1;
    QList<double> turnaround;
    QObject::connect(&link, &SerialLink::traffic, &link, [&](const QByteArray &text, bool received) {
        if (received && text.endsWith('\n'))
            arrived = clock.nsecsElapsed();
        else if (!received && arrived >= 0) {
            turnaround << (clock.nsecsElapsed() - arrived) / 1e6;
            arrived = -1;
        }
    });

    QList<double> chains;
    for (int run = 0; run < 5; ++run) {
        QSignalSpy done(&session, &LinkSession::finished);
        const qint64 start = clock.nsecsElapsed();
        session.start(1);
        if (!done.wait(60000) || !session.result().ok()) {
            std::fprintf(stderr, "download did not complete\n");
            return 1;
        }
        chains << (clock.nsecsElapsed() - start) / 1e6;
    }

    std::sort(turnaround.begin(), turnaround.end());
    std::sort(chains.begin(), chains.end());
    const double median = turnaround.at(turnaround.size() / 2);
    const double p99 = turnaround.at(int(turnaround.size() * 0.99));
    std::printf("download turnaround, reply complete to next command written (%d exchanges): "
                "median %.3f ms (target < 0.15 ms), 99th percentile %.3f ms (target < 1 ms)\n",
                int(turnaround.size()), median, p99);
    std::printf("200-step download against the simulator, no pacing: median %.1f ms\n",
                chains.at(chains.size() / 2));
    return 0;
}
