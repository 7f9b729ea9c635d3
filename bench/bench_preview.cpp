// The motion estimate of a full program (200 steps, three axes) that never
// ends, so that the run goes on to its budget of 100,000 executed steps and
// then looks for the repetition: what velomat-cli preview and the editor's
// chart ask for. Run by hand or with `make bench`.

#include "BenchSupport.h"

#include "config/clsIniFile.h"
#include "program/MotionPreview.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>


int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Catalogue catalogue;
    catalogue.buildCatalogue(clsIniFile(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")));
    catalogue.buildParamRanges();
    const QList<ProgStep> steps = fullProgram(catalogue, true);

    constexpr int kRounds = 15;
    QList<double> ms;
    MotionPreview::Result r;
    QElapsedTimer t;
    for (int i = 0; i < kRounds; ++i) {
        t.start();
        r = MotionPreview::run(catalogue, 3, steps);
        ms << t.nsecsElapsed() / 1e6;
    }
    std::printf("preview of a 200x3 program, %lld executed steps, %lld moves (repeats from step %03d "
                "every %.3f s): median %.1f ms (target < 200 ms)\n",
                static_cast<long long>(r.executed.size()), static_cast<long long>(r.moves.size()),
                r.repeatStep, r.repeatPeriod, median(ms));
    return 0;
}
