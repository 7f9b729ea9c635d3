// Download and upload of a full 200-step three-axis program to the
// simulated controller paced at 38400 baud, against the time the bytes of
// both directions need on such a line (10 bits per byte). A ratio near 1
// means the host adds next to nothing to the line time. The simulator runs
// as its own process, as a controller would. Run by hand or with
// `make bench`.

#include "BenchSupport.h"

#include "config/Messages.h"
#include "config/clsIniFile.h"
#include "link/CommandSet.h"
#include "link/SerialLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>

#include <algorithm>
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

class Views : public DownView, public UpView
{
public:
    void dispChInf(const QString &) override {}
    void comWait(bool, int) override {}
    void setProgressbar(int) override {}
    void setNewLine(bool) override {}
    void DispStatus(const QString &) override {}
    void SetEnabled(bool) override {}
    void Plus1Progress() override {}
    bool bTakeUploadLine(const QByteArray &) override { ++lines; return true; }
    void uploadFinished() override
    {
        finished = true;
        finishedNs = clock->nsecsElapsed();
    }
    int lines = 0;
    bool finished = false;
    qint64 finishedNs = 0;
    const QElapsedTimer *clock = nullptr;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velomat-sim"),
              {QStringLiteral("--baud"), QString::number(kBaud)});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "velomat-sim did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    SilentPresenter presenter;
    clsIniFile lang;
    Messages messages(lang, presenter);
    SerialLine line;
    line.device = device;
    line.baud = kBaud;
    SerialLink link(line);
    CommandSet commands(link, messages);
    Program program;
    Views views;
    QElapsedTimer clock;
    views.clock = &clock;
    commands.setStepSource(&program);
    commands.setDownView(&views);
    commands.setUpView(&views);

    qint64 bytes = 0;
    QObject::connect(&link, &SerialLink::traffic, &link,
                     [&](const QByteArray &text, bool) { bytes += text.size(); });
    auto ratio = [&](qint64 ns) { return double(ns) / (double(bytes) * 10.0 / kBaud * 1e9); };

    QList<double> down, up;
    for (int run = 0; run < 3; ++run) {
        QSignalSpy done(&commands, &CommandSet::downloadCompleted);
        bytes = 0;
        clock.start();
        commands.reqLoad(1);
        if (!done.wait(120000)) {
            std::fprintf(stderr, "the download did not complete\n");
            return 1;
        }
        down << ratio(clock.nsecsElapsed());

        link.bUpOpen = true;
        views.finished = false;
        bytes = 0;
        clock.start();
        commands.reqUpload(1);
        QSignalSpy idle(&commands, &CommandSet::commandSent);
        while (!views.finished && commands.waiting())
            idle.wait(200);
        const qint64 ns = views.finishedNs;
        link.bUpOpen = false;
        if (!views.finished) {
            std::fprintf(stderr, "the upload did not complete\n");
            return 1;
        }
        up << ratio(ns);
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
