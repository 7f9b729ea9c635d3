#pragma once

// Shared pieces of the fuzz targets: a check that aborts (the targets are
// built with NDEBUG, so assert would vanish), the language file the
// catalogue is built from, and a scratch folder in memory.

#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/ProgCell.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond, what)                                                              \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", __FILE__, __LINE__, #cond, \
                         qPrintable(QString(what)));                                       \
            std::abort();                                                                  \
        }                                                                                  \
    } while (false)

namespace fuzz {

// LANG1.DAT: from $VELOMAT_LANG_FILE, else the one of the source tree.
inline QString langFile()
{
    const QByteArray env = qgetenv("VELOMAT_LANG_FILE");
    return env.isEmpty() ? QStringLiteral(VELOMAT_LANG_FILE) : QString::fromLocal8Bit(env);
}

// The catalogue as the programs build it; aborts when the language file is
// missing, since every input would then be refused for the wrong reason.
inline const Catalogue &catalogue()
{
    static const Catalogue c = [] {
        Catalogue built;
        built.buildCatalogue(clsIniFile(langFile()));
        built.buildParamRanges();
        FUZZ_CHECK(built.mnemonic(Catalogue::AGO) == QLatin1String("AGO:"),
                   "language file not found: " + langFile() + " (set VELOMAT_LANG_FILE)");
        return built;
    }();
    return c;
}

// A folder for the files the targets write, in memory when /dev/shm exists
// (the settings writers sync every file they replace).
inline const QString &scratchDir()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/velomat-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/velomat-fuzz-XXXXXX"));
    static const QString path = dir.path();
    FUZZ_CHECK(dir.isValid(), "no scratch folder");
    return path;
}

// The steps with every parameter's spaces removed at both ends: what the
// file writer makes of them.
inline QList<ProgStep> trimmedSteps(const QList<ProgStep> &steps)
{
    QList<ProgStep> out = steps;
    for (ProgStep &step : out)
        for (ProgCell &cell : step)
            for (QString &p : cell.params)
                p = trimSpaces(p);
    return out;
}

// Every step has one cell per axis, every cell a known command with exactly
// the parameters the command takes.
inline void checkSteps(const QList<ProgStep> &steps, int axes)
{
    const Catalogue &cat = catalogue();
    for (qsizetype s = 0; s < steps.size(); ++s) {
        FUZZ_CHECK(steps[s].size() == axes, QStringLiteral("step %1 has %2 cells").arg(s).arg(steps[s].size()));
        for (const ProgCell &cell : steps[s]) {
            FUZZ_CHECK(cell.cmd >= 1 && cell.cmd <= Catalogue::kCommandCount,
                       QStringLiteral("step %1: command %2").arg(s).arg(cell.cmd));
            FUZZ_CHECK(cell.params.size() == cat.paramCount(cell.cmd),
                       QStringLiteral("step %1: command %2 with %3 parameters")
                           .arg(s).arg(cell.cmd).arg(cell.params.size()));
        }
    }
}

// Control characters and escapes shown as \xNN, so that a message stays
// one readable text.
inline QString visible(const QString &text)
{
    QString out;
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.isSurrogate())
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            out += c;
    }
    return out;
}

inline QString describe(const QList<ProgStep> &steps)
{
    QStringList out;
    for (const ProgStep &step : steps) {
        QStringList cells;
        for (const ProgCell &cell : step)
            cells << visible(cell.toData().join(u'|'));
        out << cells.join(QLatin1String(" , "));
    }
    return out.join(u'\n');
}

} // namespace fuzz
