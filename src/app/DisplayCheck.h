#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Why the editor cannot open a window here, as one line for stderr, or an
// empty string when it can. On Linux and other Unix systems except macOS a
// window needs DISPLAY (X11) or WAYLAND_DISPLAY, unless QT_QPA_PLATFORM or a
// -platform/-display argument names where to draw. Checked before the
// QApplication is built, which would otherwise abort.
QString missingDisplayMessage(const QProcessEnvironment &env, const QStringList &arguments);
