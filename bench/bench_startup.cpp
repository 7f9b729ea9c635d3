// Start-up time and memory: from process start until the main window is
// shown with the controller type confirmed, and the resident memory then.
// The parent starts itself as a child process several times and times each
// run from the moment it launches the process until the child reports.

#include "BenchSupport.h"
#include "app/MDIFormMain.h"
#include "app/VelomatApp.h"
#include "app/frmStart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

int child(int argc, char **argv, const QString &folder)
{
    QApplication app(argc, argv);
    SilentPresenter presenter;
    VelomatApp velomat(presenter);
    velomat.start(folder, QString());
    velomat.startDialog()->findChild<QRadioButton *>(QStringLiteral("optType2"))->setChecked(true);
    velomat.startDialog()->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    if (!velomat.mainWindow() || !velomat.mainWindow()->isVisible())
        return 1;
    QApplication::processEvents(); // let the first paint happen
    std::printf("shown %ld\n", residentKiB());
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && QByteArray(argv[1]) == "--child")
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    copyLanguageFiles(dir);

    constexpr int kRuns = 10;
    QList<double> ms;
    long rss = 0;
    for (int i = 0; i < kRuns; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), dir.path()});
        if (!p.waitForReadyRead(10000)) {
            std::fprintf(stderr, "child did not report\n");
            return 1;
        }
        const double elapsed = timer.nsecsElapsed() / 1e6;
        const QByteArray line = p.readLine().trimmed();
        p.waitForFinished(10000);
        if (!line.startsWith("shown ")) {
            std::fprintf(stderr, "unexpected child output: %s\n", line.constData());
            return 1;
        }
        ms << elapsed;
        rss = std::max(rss, line.mid(6).toLong());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("start-up to main window shown: median %.1f ms, min %.1f ms, max %.1f ms (%d runs; target < 300 ms)\n",
                ms.at(ms.size() / 2), ms.first(), ms.last(), kRuns);
    std::printf("resident memory then: %.1f MB (target < 60 MB)\n", rss / 1024.0);
    return 0;
}
