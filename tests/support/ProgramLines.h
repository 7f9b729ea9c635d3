#pragma once

#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/ProgramFile.h"

#include <QStringList>

// The steps of a test program written as step lines of the program file
// ("AGO:100,R:5"), each read as the file reader reads it; a line it refuses
// stops the test run, since the table itself is wrong then.
inline QList<ProgStep> programSteps(const Catalogue &catalogue, int axes, const QStringList &lines)
{
    QList<ProgStep> result;
    for (const QString &line : lines) {
        ProgStep step;
        QString why;
        if (!ProgramFile::readStepLine(catalogue, line, axes, &step, &why))
            qFatal("test program line %s refused: %s", qPrintable(line), qPrintable(why));
        result << step;
    }
    return result;
}

// The catalogue of an English run, built once.
inline const Catalogue &englishCatalogue()
{
    static const Catalogue catalogue = [] {
        Catalogue built;
        built.buildCatalogue(clsIniFile(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")));
        built.buildParamRanges();
        return built;
    }();
    return catalogue;
}
