#include "app/DisplayCheck.h"
#include "app/EditorMain.h"
#include "app/QtMessagePresenter.h"
#include "config/Version.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList rawArgs;
    for (int i = 1; i < argc; ++i)
        rawArgs << QString::fromLocal8Bit(argv[i]);
    // Answered without a display, as a packager's or a user's check.
    if (rawArgs == QStringList{QStringLiteral("--version")}) {
        std::printf("%s\n", qPrintable(versionText("velomat")));
        return 0;
    }
    // Without a display QApplication aborts with a long platform-plugin
    // message; say in one line what is missing instead.
    const QString missing =
        missingDisplayMessage(QProcessEnvironment::systemEnvironment(), rawArgs);
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(missing));
        return 1;
    }

    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QtMessagePresenter presenter;
    return runEditor(presenter, args.join(u' '));
}
