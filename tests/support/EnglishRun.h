#pragma once

#include "link/AppContext.h"

#include <QFile>
#include <QTemporaryDir>

// The run objects as the editor builds them, English, in the settings
// folder `dir`, for a controller of `axes` axes, the link on `device`
// (none: set later).
inline void buildEnglishRun(AppContext &ctx, const QTemporaryDir &dir, int axes, const QString &device = {})
{
    QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT"), dir.filePath(QStringLiteral("LANG1.DAT")));
    ctx.chooseLanguage(dir.path(), QStringLiteral("1"));
    ctx.setControllerType(axes);
    ctx.buildRunObjects();
    if (device.isEmpty())
        return;
    SerialLine line;
    line.device = device;
    ctx.comSettings.setAppliedLine(line);
}
