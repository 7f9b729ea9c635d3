#include "DisplayCheck.h"

QString missingDisplayMessage(const QProcessEnvironment &env, const QStringList &arguments)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!env.value(QLatin1String(name)).isEmpty())
            return {};
    }
    // Qt takes these options itself (with one or two dashes).
    for (const QString &arg : arguments) {
        for (const char *option : {"-platform", "-display"}) {
            const QLatin1String o(option);
            if (arg == o || arg == QLatin1Char('-') + o)
                return {};
        }
    }
    return QStringLiteral(
        "velomat: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
        "start it from a desktop session, or set QT_QPA_PLATFORM=offscreen for a run without "
        "a screen");
#else
    Q_UNUSED(env);
    Q_UNUSED(arguments);
    return {};
#endif
}
