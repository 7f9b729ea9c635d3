// The problems of a full program (200 steps, three axes), as the editor
// would find them after an edit and velomat-cli lint prints them: the walk
// of the steps alone, and with the texts read from the language file.
// Run by hand or with `make bench`.

#include "BenchSupport.h"

#include "config/clsIniFile.h"
#include "program/ProgramProblems.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>


int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const clsIniFile lang(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT"));
    Catalogue catalogue;
    catalogue.buildCatalogue(lang);
    catalogue.buildParamRanges();
    const QList<ProgStep> steps = fullProgram(catalogue, false);

    constexpr int kRounds = 500;
    QList<double> walkMs, textMs;
    qsizetype found = 0;
    QElapsedTimer t;
    for (int i = 0; i < kRounds; ++i) {
        t.start();
        found = ProgramProblems::find(catalogue, 3, steps).size();
        walkMs << t.nsecsElapsed() / 1e6;
        t.start();
        ProgramProblems::find(catalogue, 3, steps, lang);
        textMs << t.nsecsElapsed() / 1e6;
    }
    std::printf("problems of a 200x3 program (%lld found): median %.3f ms (target < 5 ms)\n",
                static_cast<long long>(found), median(walkMs));
    std::printf("the same with the texts from LANG1.DAT: median %.3f ms (target < 5 ms)\n", median(textMs));
    return 0;
}
