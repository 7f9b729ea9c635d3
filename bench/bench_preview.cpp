// The motion estimate of a full program (200 steps, three axes) that never
// ends, so that the run goes on to its budget of 100,000 executed steps and
// then looks for the repetition: what velomat-cli preview and the editor's
// chart ask for. Run by hand or with `make bench`.

#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/MotionPreview.h"
#include "program/ProgramFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kSteps = 200;
constexpr int kAxes = 3;

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

// Blocks of ten steps with every kind of command the estimate times:
// speeds, moves of each kind, input jumps, waits, outputs, counted loops
// back; the last step jumps back to the start, for ever.
QList<ProgStep> endlessProgram(const Catalogue &catalogue)
{
    auto line = [](const QString &cell) { return QStringList(kAxes, cell).join(u','); };
    QList<ProgStep> steps;
    for (int i = 0; i < kSteps; ++i) {
        QString text;
        if (i == kSteps - 1)
            text = line(QStringLiteral("U01:0"));
        else {
            switch (i % 10) {
            case 0: text = line(QStringLiteral("D:100:5000:200")); break;
            case 1: text = line(QStringLiteral("AGO:%1").arg(i * 100)); break;
            case 2: text = line(QStringLiteral("R:-%1").arg(i)); break;
            case 3: text = line(QStringLiteral("U02:B:1:%1").arg(i + 4)); break;
            case 4: text = QStringLiteral("W:5,P:8:100,C:1:0:1:0"); break;
            case 5: text = QStringLiteral("BGO:%1,BGO:%2,BGO:-%1").arg(i * 10).arg(i * 30); break;
            case 6: text = line(QStringLiteral("H:")); break;
            case 7: text = QStringLiteral("S:3,MGO:50,P:60:1"); break;
            case 8: text = line(QStringLiteral("U03:%1:3").arg(i - 7)); break;
            default: text = line(QStringLiteral("#:block %1").arg(i / 10)); break;
            }
        }
        ProgStep step;
        if (!ProgramFile::readStepLine(catalogue, text, kAxes, &step))
            std::fprintf(stderr, "step %d refused: %s\n", i, qPrintable(text));
        steps << step;
    }
    return steps;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Catalogue catalogue;
    catalogue.buildCatalogue(clsIniFile(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")));
    catalogue.buildParamRanges();
    const QList<ProgStep> steps = endlessProgram(catalogue);

    constexpr int kRounds = 15;
    QList<double> ms;
    MotionPreview::Result r;
    QElapsedTimer t;
    for (int i = 0; i < kRounds; ++i) {
        t.start();
        r = MotionPreview::run(catalogue, kAxes, steps);
        ms << t.nsecsElapsed() / 1e6;
    }
    std::printf("preview of a 200x3 program, %lld executed steps, %lld moves (repeats from step %03d "
                "every %.3f s): median %.1f ms (target < 200 ms)\n",
                static_cast<long long>(r.executed.size()), static_cast<long long>(r.moves.size()),
                r.repeatStep, r.repeatPeriod, median(ms));
    return 0;
}
