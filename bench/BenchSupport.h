#pragma once

// What the benchmarks share: a program folder with the language files, a
// message presenter that answers without showing anything, and the
// process's resident memory.

#include "config/MessagePresenter.h"
#include "link/AppContext.h"
#include "program/Catalogue.h"
#include "program/ProgramFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

class SilentPresenter : public MessagePresenter
{
public:
    int present(MsgKind, MsgButtons, const QString &, const QString &) override { return MsgAnswer::Ok; }
};

inline void copyLanguageFiles(const QTemporaryDir &dir)
{
    for (const char *name : {"LANG0.DAT", "LANG1.DAT"})
        QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/") + QLatin1String(name), dir.filePath(QLatin1String(name)));
}

// velomat-sim started as a process of its own, as a controller would be,
// with `arguments`; the device path of its end of the line, empty (after a
// word on stderr) when it did not start.
inline QString startSimulator(QProcess &sim, const QStringList &arguments)
{
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velomat-sim"), arguments);
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "velomat-sim did not start\n");
        return QString();
    }
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

// A three-axis run in English, built as the editor builds it, with the
// link's line set to `device` at `baud`.
struct BenchRun
{
    BenchRun(const QString &device, int baud)
    {
        copyLanguageFiles(home);
        ctx.build(home.path(), QStringLiteral("1"), 3);
        SerialLine line;
        line.device = device;
        line.baud = baud;
        ctx.comSettings.setAppliedLine(line);
    }

    SilentPresenter presenter;
    QTemporaryDir home;
    AppContext ctx{presenter};
};

inline long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() < 2 ? -1 : fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// A full program of 200 three-axis steps in blocks of ten with every kind of
// command: speeds, moves, input jumps, waits and outputs, counted loops back;
// the last step jumps back to the start, for ever. For the problems' walk
// (`timed` false) step 150 also jumps over 151..159, leaving them unreached;
// for the motion estimate (`timed` true) a block moves with BGO: and MGO:.
inline QList<ProgStep> fullProgram(const Catalogue &catalogue, bool timed)
{
    constexpr int kSteps = 200, kAxes = 3;
    auto line = [](const QString &cell) { return QStringList(kAxes, cell).join(u','); };
    QList<ProgStep> steps;
    for (int i = 0; i < kSteps; ++i) {
        QString text;
        if (i == kSteps - 1)
            text = line(QStringLiteral("U01:0"));
        else if (i == 150 && !timed)
            text = line(QStringLiteral("U01:160"));
        else {
            switch (i % 10) {
            case 0: text = line(QStringLiteral("D:100:5000:200")); break;
            case 1: text = line(QStringLiteral("AGO:%1").arg(i * 100)); break;
            case 2: text = line(QStringLiteral("R:-%1").arg(i)); break;
            case 3: text = line(QStringLiteral("U02:B:1:%1").arg(i + 4)); break;
            case 4: text = QStringLiteral("W:5,P:8:100,C:1:0:1:0"); break;
            case 5:
                text = timed ? QStringLiteral("BGO:%1,BGO:%2,BGO:-%1").arg(i * 10).arg(i * 30)
                             : line(QStringLiteral("MGO:%1").arg(i));
                break;
            case 6: text = line(QStringLiteral("H:")); break;
            case 7: text = timed ? QStringLiteral("S:3,MGO:50,P:60:1") : QStringLiteral("S:3,U00:,P:60:1"); break;
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
