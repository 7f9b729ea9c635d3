// The run ends the process when it should. Each scenario runs the real
// start-up and event loop (runEditor, as main does) in a child process: this
// executable started again with `--child <scenario>`, message boxes answered
// by script and the user's gestures queued on a timer. The parent waits for
// the child to exit by itself.

#include "app/DisplayCheck.h"
#include "app/EditorMain.h"
#include "support/ScriptedPresenter.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>

namespace {

enum class Gesture { Cancel, ConfirmTwoAxes, FileExit, CloseMain };

struct Scenario
{
    const char *name;
    QList<int> answers; // to the message boxes, in order
    QList<Gesture> gestures;
};

const QList<Scenario> &scenarios()
{
    static const QList<Scenario> all{
        {"cancel-yes", {MsgAnswer::Yes}, {Gesture::Cancel}},
        {"ok-file-exit", {}, {Gesture::ConfirmTwoAxes, Gesture::FileExit}},
        {"ok-close-main", {}, {Gesture::ConfirmTwoAxes, Gesture::CloseMain}},
        {"cancel-no-ok-exit", {MsgAnswer::No}, {Gesture::Cancel, Gesture::ConfirmTwoAxes, Gesture::FileExit}},
    };
    return all;
}

QWidget *shownWindow(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return w;
    }
    return nullptr;
}

template <class T> T *part(QWidget *window, const char *name)
{
    return window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
}

// Does one gesture; says what was missing when it can't.
QString perform(Gesture g)
{
    QWidget *start = shownWindow("frmStart");
    QWidget *main = shownWindow("MDIFormMain");
    switch (g) {
    case Gesture::Cancel:
        if (auto *cancel = part<QPushButton>(start, "cmdCancel")) {
            cancel->click();
            return {};
        }
        return QStringLiteral("no selection dialog to cancel");
    case Gesture::ConfirmTwoAxes: {
        auto *option = part<QRadioButton>(start, "optType1");
        auto *ok = part<QPushButton>(start, "cmdOK");
        if (!option || !ok)
            return QStringLiteral("no selection dialog to confirm");
        option->click();
        ok->click();
        return {};
    }
    case Gesture::FileExit:
        if (auto *exit = part<QAction>(main, "mnuFileEnd")) {
            exit->trigger();
            return {};
        }
        return QStringLiteral("no main window with File > Exit");
    case Gesture::CloseMain:
        if (main) {
            main->close();
            return {};
        }
        return QStringLiteral("no main window to close");
    }
    return {};
}

// The child: one run of the editor driven by the scenario. Exit code 0 only
// when the run ended by itself after every gesture and answer was used.
int runChild(int argc, char **argv, const char *name)
{
    QApplication app(argc, argv);
    const Scenario *scenario = nullptr;
    for (const Scenario &s : scenarios()) {
        if (qstrcmp(s.name, name) == 0)
            scenario = &s;
    }
    if (!scenario) {
        std::fprintf(stderr, "unknown scenario %s\n", name);
        return 90;
    }

    ScriptedPresenter presenter;
    presenter.answers = scenario->answers;
    qsizetype done = 0;
    QTimer gestures;
    gestures.setInterval(100);
    QObject::connect(&gestures, &QTimer::timeout, &gestures, [&] {
        if (done == scenario->gestures.size()) {
            gestures.stop();
            return;
        }
        const QString error = perform(scenario->gestures.at(done++));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "gesture %lld: %s\n", qlonglong(done), qPrintable(error));
            QCoreApplication::exit(91);
        }
    });
    gestures.start();

    const int code = runEditor(presenter, QStringLiteral("1"));
    if (code != 0)
        return code;
    if (done != scenario->gestures.size()) {
        std::fprintf(stderr, "the run ended after %lld of %lld gestures\n", qlonglong(done),
                     qlonglong(scenario->gestures.size()));
        return 92;
    }
    if (!presenter.answers.isEmpty()) {
        std::fprintf(stderr, "%lld answers left unasked\n", qlonglong(presenter.answers.size()));
        return 93;
    }
    return 0;
}

} // namespace

class TestExit : public QObject
{
    Q_OBJECT

private slots:
    void runEndsProcess_data();
    void runEndsProcess();
    void missingDisplay_data();
    void missingDisplay();
};

void TestExit::runEndsProcess_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::newRow("cancel, Yes") << QStringLiteral("cancel-yes");
    QTest::newRow("OK, File > Exit") << QStringLiteral("ok-file-exit");
    QTest::newRow("OK, close the main window") << QStringLiteral("ok-close-main");
    QTest::newRow("cancel, No keeps the dialog, OK, File > Exit") << QStringLiteral("cancel-no-ok-exit");
}

void TestExit::runEndsProcess()
{
    QFETCH(QString, scenario);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const char *name : {"LANG0.DAT", "LANG1.DAT"})
        QVERIFY(QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/") + QLatin1String(name),
                            folder.filePath(QLatin1String(name))));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELOMAT_HOME"), folder.path());
    if (env.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), scenario});
    QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));

    // Generous: a run that works ends within a second or two.
    if (!child.waitForFinished(30000)) {
        child.kill();
        child.waitForFinished();
        QFAIL("the process was still running 30 s after the run ended");
    }
    const QByteArray err = child.readAllStandardError();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit, err.constData());
    QVERIFY2(child.exitCode() == 0,
             qPrintable(QStringLiteral("exit code %1: %2").arg(child.exitCode()).arg(QString::fromLocal8Bit(err))));
}

void TestExit::missingDisplay_data()
{
    QTest::addColumn<QStringList>("env"); // NAME=value
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("refused");
    QTest::newRow("nothing set") << QStringList{} << QStringList{} << true;
    QTest::newRow("DISPLAY set but empty") << QStringList{"DISPLAY="} << QStringList{"1"} << true;
    QTest::newRow("X11") << QStringList{"DISPLAY=:0"} << QStringList{} << false;
    QTest::newRow("Wayland") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << QStringList{} << false;
    QTest::newRow("QT_QPA_PLATFORM") << QStringList{"QT_QPA_PLATFORM=offscreen"} << QStringList{} << false;
    QTest::newRow("--platform argument") << QStringList{} << QStringList{"--platform", "offscreen"} << false;
}

void TestExit::missingDisplay()
{
#if !defined(Q_OS_UNIX) || defined(Q_OS_DARWIN)
    QSKIP("a window needs no display variable here");
#endif
    QFETCH(QStringList, env);
    QFETCH(QStringList, args);
    QFETCH(bool, refused);
    QProcessEnvironment e;
    for (const QString &pair : env)
        e.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    const QString message = missingDisplayMessage(e, args);
    QCOMPARE(!message.isEmpty(), refused);
    if (refused) {
        QVERIFY(!message.contains(u'\n'));
        QVERIFY(message.contains(QLatin1String("QT_QPA_PLATFORM=offscreen")));
    }
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv, argv[2]);
    QCoreApplication app(argc, argv);
    TestExit test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exit.moc"
