// The problems of a full program (200 steps, three axes), as the editor
// would find them after an edit and velomat-cli lint prints them: the walk
// of the steps alone, and with the texts read from the language file.
// Run by hand or with `make bench`.

#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/ProgramFile.h"
#include "program/ProgramProblems.h"

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

// Blocks of ten steps that use every kind of command the walk looks at:
// speeds, moves, input jumps, waits, outputs, counted loops back. A jump
// over steps 151..159 leaves them unreached, and the last step jumps back
// to the start, so that the whole rest is one loop for the walk to untangle.
QList<ProgStep> fullProgram(const Catalogue &catalogue)
{
    auto line = [](const QString &cell) { return QStringList(kAxes, cell).join(u','); };
    QList<ProgStep> steps;
    for (int i = 0; i < kSteps; ++i) {
        QString text;
        if (i == kSteps - 1)
            text = line(QStringLiteral("U01:0"));
        else if (i == 150)
            text = line(QStringLiteral("U01:160"));
        else {
            switch (i % 10) {
            case 0: text = line(QStringLiteral("D:100:5000:200")); break;
            case 1: text = line(QStringLiteral("AGO:%1").arg(i * 100)); break;
            case 2: text = line(QStringLiteral("R:-%1").arg(i)); break;
            case 3: text = line(QStringLiteral("U02:B:1:%1").arg(i + 4)); break;
            case 4: text = QStringLiteral("W:5,P:8:100,C:1:0:1:0"); break;
            case 5: text = line(QStringLiteral("MGO:%1").arg(i)); break;
            case 6: text = line(QStringLiteral("H:")); break;
            case 7: text = QStringLiteral("S:3,U00:,P:60:1"); break;
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
    const clsIniFile lang(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT"));
    Catalogue catalogue;
    catalogue.buildCatalogue(lang);
    catalogue.buildParamRanges();
    const QList<ProgStep> steps = fullProgram(catalogue);

    constexpr int kRounds = 500;
    QList<double> walkMs, textMs;
    qsizetype found = 0;
    QElapsedTimer t;
    for (int i = 0; i < kRounds; ++i) {
        t.start();
        found = ProgramProblems::find(catalogue, kAxes, steps).size();
        walkMs << t.nsecsElapsed() / 1e6;
        t.start();
        ProgramProblems::find(catalogue, kAxes, steps, lang);
        textMs << t.nsecsElapsed() / 1e6;
    }
    std::printf("problems of a 200x3 program (%lld found): median %.3f ms (target < 5 ms)\n",
                static_cast<long long>(found), median(walkMs));
    std::printf("the same with the texts from LANG1.DAT: median %.3f ms (target < 5 ms)\n", median(textMs));
    return 0;
}
