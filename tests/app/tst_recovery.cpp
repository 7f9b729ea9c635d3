// Recovery after a crash. A first run of the real editor (runEditor in a
// child process, autosave every 200 ms) modifies two documents and is
// killed with SIGKILL once their copies are on disk; a second run offers
// them and restores or discards them as answered; saving, closing and its
// clean exit leave no copy behind.

#include "app/EditorMain.h"
#include "app/MDIFormMain.h"
#include "config/clsIniFile.h"
#include "link/AppContext.h"
#include "program/Catalogue.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "program/RecoveryClaim.h"
#include "program/RecoveryStore.h"
#include "support/FileBytes.h"
#include "support/ScriptedDataEntry.h"
#include "support/ScriptedPresenter.h"
#include "ui/FrmProg.h"

#include <QApplication>
#include <QDirIterator>
#include <QMdiArea>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const QString kWait = QStringLiteral("(wait)"); // a step not done yet: tried again
QString until(bool condition) { return condition ? QString() : kWait; }
QString home() { return qEnvironmentVariable("VELOMAT_HOME"); }
QString homeFile(const char *name) { return QDir(home()).filePath(QLatin1String(name)); }

// The recovery copies under a settings folder, of whichever run.
int copies(const QString &folder)
{
    int n = 0;
    QDirIterator it(QDir(folder).filePath(QLatin1String(RecoveryStore::kFolderName)),
                    {u'*' + QLatin1String(RecoveryStore::kSuffix)}, QDir::Files, QDirIterator::Subdirectories);
    for (; it.hasNext(); it.next())
        ++n;
    return n;
}

QWidget *shownWindow(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return w;
    }
    return nullptr;
}

// The open documents by name: a saved file's path sorts before "Program1".
QList<FrmProg *> documents(MDIFormMain *main)
{
    QList<FrmProg *> forms;
    for (QMdiSubWindow *w : main->mdiArea()->subWindowList()) {
        if (auto *form = qobject_cast<FrmProg *>(w); form && !form->isHidden())
            forms << form;
    }
    std::sort(forms.begin(), forms.end(),
              [](FrmProg *a, FrmProg *b) { return a->getFileName(true) < b->getFileName(true); });
    return forms;
}

// Each open document's name, dirty mark and program.
QString writeReport(MDIFormMain *main, const Catalogue &catalogue, const char *name)
{
    QByteArray report;
    for (FrmProg *form : documents(main))
        report += form->getFileName(true).toUtf8() + (form->getDirty() ? " dirty\n" : " clean\n")
                  + ProgramFile::writeProgram(catalogue, form->getAxis(), form->document()->steps());
    return writeBytes(homeFile(name), report) ? QString() : QStringLiteral("no report");
}

// The child: one run of the editor driven by a script, one step per tick,
// its message boxes answered in order. Exit code 0 only when the run ended
// by itself after the whole script with every answer used.
int runChild(int argc, char **argv, const QString &name)
{
    QApplication app(argc, argv);
    ScriptedPresenter presenter;
    Catalogue catalogue; // the mnemonics, to compare programs by
    catalogue.buildCatalogue(clsIniFile(homeFile("LANG1.DAT")));
    MDIFormMain *main = nullptr;
    QList<std::function<QString()>> script{[] {
        QWidget *start = shownWindow("frmStart");
        if (!start)
            return QStringLiteral("no selection dialog");
        start->findChild<QRadioButton *>(QStringLiteral("optType1"))->click();
        start->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        return QString();
    }};
    auto fileExit = [&] {
        main->item(QStringLiteral("mnuFileEnd"))->trigger();
        return QString();
    };

    if (name == QLatin1String("edit")) {
        // Then it idles, its copies written, until it is killed.
        script << [&] {
            main->setDataEntry(std::make_unique<ScriptedDataEntry>());
            FrmProg *untitled = main->makeNewForm(2);
            untitled->putAndFill(1, 1, Catalogue::H, {"4"});
            untitled->putAndFill(1, 2, Catalogue::D, {"6", "100", "5000", "200"});
            untitled->putAndFill(2, 3, Catalogue::AGO, {"1", "-500"});
            untitled->putAndFill(1, 4, Catalogue::Label, {"17", QString::fromUtf16(u"END:ｴﾝﾄﾞ")});
            FrmProg *named = main->openProgramFile(homeFile("saved.txt"));
            if (!named)
                return QStringLiteral("saved.txt not opened");
            named->putAndFill(2, 2, Catalogue::W, {"16", "25"});
            return writeReport(main, catalogue, "edited.rpt");
        };
    } else if (name == QLatin1String("restore-yes")) {
        presenter.answers = {MsgAnswer::Yes, MsgAnswer::Yes, MsgAnswer::No};
        script << [&] {
            // Asked about each by its name, in the order they were made;
            // restored, they are kept by this run from the start.
            if (presenter.shown.size() != 2 || !presenter.shown[0].text.contains(QLatin1String("Program1"))
                || !presenter.shown[1].text.contains(QLatin1String("saved.txt")))
                return QStringLiteral("not asked about both documents by name");
            const QString error = writeReport(main, catalogue, "restored.rpt");
            return error.isEmpty() ? until(copies(home()) == 2) : error;
        };
        script << [&] { return QString(main->saveProgram(documents(main).value(0), false) ? "" : "not saved"); };
        script << [&] { return until(copies(home()) == 1); };
        script << [&] { return QString(documents(main).value(1)->close() ? "" : "not closed"); };
        script << [&] { return until(copies(home()) == 0); };
        script << fileExit;
    } else if (name == QLatin1String("restore-no")) {
        presenter.answers = {MsgAnswer::No, MsgAnswer::No};
        script << [&] {
            if (presenter.shown.size() != 2 || copies(home()) != 0)
                return QStringLiteral("not asked twice, or a copy kept");
            return writeReport(main, catalogue, "restored.rpt");
        };
        script << fileExit;
    }

    qsizetype done = 0;
    int tries = 0;
    QTimer ticks;
    ticks.setInterval(100);
    QObject::connect(&ticks, &QTimer::timeout, &ticks, [&] {
        if (done == script.size())
            return ticks.stop();
        main = qobject_cast<MDIFormMain *>(shownWindow("MDIFormMain"));
        const QString error = done == 0 || main ? script.at(done)() : QStringLiteral("no main window");
        if (error.isEmpty()) {
            ++done;
            tries = 0;
        } else if (error != kWait || ++tries > 100) {
            std::fprintf(stderr, "step %lld: %s\n", qlonglong(done + 1), qPrintable(error));
            QCoreApplication::exit(91);
        }
    });
    ticks.start();

    RunIntervals intervals;
    intervals.autosave = std::chrono::milliseconds(200);
    const int code = runEditor(presenter, QStringLiteral("1"), intervals);
    if (code == 0 && (done != script.size() || !presenter.answers.isEmpty())) {
        std::fprintf(stderr, "ended after %lld of %lld steps, %lld answers unused\n", qlonglong(done),
                     qlonglong(script.size()), qlonglong(presenter.answers.size()));
        return 92;
    }
    return code;
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void killedRunOffered_data();
    void killedRunOffered();
    void claimTakesOnlyEndedSessions_data();
    void claimTakesOnlyEndedSessions();
};

void TestRecovery::killedRunOffered_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("restored");
    QTest::newRow("Yes restores each document") << QStringLiteral("restore-yes") << true;
    QTest::newRow("No discards each document") << QStringLiteral("restore-no") << false;
}

void TestRecovery::killedRunOffered()
{
    QFETCH(QString, scenario);
    QFETCH(bool, restored);
    QTemporaryDir folder;
    for (const char *name : {"LANG0.DAT", "LANG1.DAT"})
        QVERIFY(QFile::copy(QStringLiteral(VELOMAT_LANG_DIR "/") + QLatin1String(name),
                            folder.filePath(QLatin1String(name))));
    QVERIFY(writeBytes(folder.filePath(QStringLiteral("saved.txt")), "AXIS=2\r\nH:,H:\r\nW:10,U00:\r\n"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELOMAT_HOME"), folder.path());
    if (env.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess editing, second;
    for (QProcess *child : {&editing, &second})
        child->setProcessEnvironment(env);

    editing.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), QStringLiteral("edit")});
    QTRY_COMPARE_WITH_TIMEOUT(copies(folder.path()), 2, 20000);
    QVERIFY2(editing.state() == QProcess::Running, editing.readAllStandardError().constData());
    editing.kill(); // SIGKILL: none of the run's own code runs
    QVERIFY(editing.waitForFinished());
    const QByteArray edited = readBytes(folder.filePath(QStringLiteral("edited.rpt")));
    QVERIFY(edited.contains("Program1 dirty\nAXIS=2\r\n") && edited.contains("saved.txt dirty\nAXIS=2\r\n"));

    second.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), scenario});
    if (!second.waitForFinished(30000))
        second.kill();
    QVERIFY2(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0,
             second.readAllStandardError().constData());
    // Restored: the same documents, names, modified marks and steps.
    QCOMPARE(readBytes(folder.filePath(QStringLiteral("restored.rpt"))), restored ? edited : QByteArray());
    // No copy left, and the killed run's session is gone too.
    QVERIFY(!QFileInfo::exists(folder.filePath(QLatin1String(RecoveryStore::kFolderName))));
}

void TestRecovery::claimTakesOnlyEndedSessions_data()
{
    QTest::addColumn<QString>("session");
    QTest::addColumn<int>("claimed");
    QTest::newRow("held by a live run") << QStringLiteral("live") << 0;
    QTest::newRow("the claiming run's own") << QStringLiteral("own") << 0;
    QTest::newRow("released with a copy left") << QStringLiteral("released") << 1;
}

void TestRecovery::claimTakesOnlyEndedSessions()
{
    QFETCH(QString, session);
    QFETCH(int, claimed);
    QTemporaryDir folder;
    RecoveryStore store(folder.path());
    QVERIFY(store.startSession());
    QVERIFY(store.write(3, RecoveryStore::compose(QStringLiteral("/x/a.txt"), "AXIS=1\r\nH:\r\n")));
    if (session == QLatin1String("released")) {
        // As a claim leaves a copy whose question was closed unanswered.
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("old")));
        QVERIFY(QFile::copy(store.entryPath(3), folder.filePath(QStringLiteral("old/doc1.rcv"))));
    }
    {
        RecoveryClaim claim(folder.path(), session == QLatin1String("own") ? store.sessionName() : QString());
        QCOMPARE(int(claim.entries().size()), claimed);
        for (const RecoveryClaim::Entry &entry : claim.entries()) {
            QCOMPARE(entry.name, QStringLiteral("/x/a.txt"));
            QCOMPARE(entry.program, QByteArray("AXIS=1\r\nH:\r\n"));
            QVERIFY(RecoveryClaim::discard(entry));
        }
    }
    // The live session keeps its copy; an emptied one is removed.
    QVERIFY(QFileInfo::exists(store.entryPath(3)));
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("old"))));
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv, QString::fromLatin1(argv[2]));
    QCoreApplication app(argc, argv);
    TestRecovery test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
