#pragma once

// What the benchmarks share: a program folder with the language files, a
// message presenter that answers without showing anything, and the
// process's resident memory.

#include "config/MessagePresenter.h"
#include "link/AppContext.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QList>
#include <QTemporaryDir>

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
