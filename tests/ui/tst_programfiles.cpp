#include "config/RecentFiles.h"
#include "config/TextCodec.h"
#include "program/Catalogue.h"
#include "program/ProgramDocument.h"
#include "program/mdlUpLoad.h"
#include "support/AppFixture.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedDataEntry.h"
#include "ui/FrmProg.h"
#include "ui/ProgGrid.h"
#include "ui/QtFileDialogs.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

namespace {



// A two-axis program placed through the editing rules.
FrmProg *sampleProgram(AppFixture &f)
{
    f.main->setDataEntry(std::make_unique<ScriptedDataEntry>());
    FrmProg *form = f.main->makeNewForm(2);
    form->putAndFill(1, 1, Catalogue::H, {"4"});
    form->putAndFill(2, 1, Catalogue::H, {"4"});
    form->putAndFill(1, 2, Catalogue::D, {"6", "100", "5000", "200"});
    form->putAndFill(1, 3, Catalogue::AGO, {"1", "10000"});
    form->putAndFill(2, 3, Catalogue::AGO, {"1", "-500"});
    form->putAndFill(1, 4, Catalogue::W, {"16", "10"});
    form->putAndFill(1, 5, Catalogue::Label, {"17", QString::fromUtf16(u"END:ｴﾝﾄﾞ")});
    return form;
}

const QByteArray kSampleFile = "AXIS=2\r\nH:,H:\r\nD:100:5000:200,U00:\r\nAGO:10000,AGO:-500\r\n"
                               "W:10,U00:\r\n#:END:\xb4\xdd\xc4\xde,#:END:\xb4\xdd\xc4\xde\r\n";

int windows(AppFixture &f)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return int(f.main->mdiArea()->subWindowList().size());
}

// Makes a folder refuse new entries (so a file in it cannot be replaced),
// for root as well; undone when it goes out of scope.
struct LockedFolder
{
    explicit LockedFolder(const QString &path) : path(path)
    {
        if (geteuid() == 0)
            locked = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
        else
            locked = QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~LockedFolder()
    {
        if (geteuid() == 0)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
        else
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString path;
    bool locked = false;
};

} // namespace

class TestProgramFiles : public QObject
{
    Q_OBJECT

private slots:
    void saveAndOpenRoundTrip();
    void saveAsAlwaysAsks();
    void cancelledSaveChangesNothing();
    void failedSaveKeepsOldFile();
    void closingWithYesSaves();
    void refusedFiles_data();
    void refusedFiles();
    void stepsPastTheLimitWarned();
    void refusedCellsWarnedOnce_data();
    void refusedCellsWarnedOnce();
    void emptyProgram();
    void withoutLanguageFileSavesSameBytes();
    void diskFullKeepsEverything();
    void recentFiles();
    void droppedFiles_data();
    void droppedFiles();
    void dialogFiltersFollowLanguage_data();
    void dialogFiltersFollowLanguage();
    void saveDialogSuffix_data();
    void saveDialogSuffix();
};

void TestProgramFiles::saveAndOpenRoundTrip()
{
    AppFixture f(2);
    FrmProg *form = sampleProgram(f);
    QVERIFY(form->getDirty());
    const QString path = f.dir.filePath(QStringLiteral("sample.txt"));

    f.fileDialogs->answers = {path};
    f.item("mnuFileSave")->trigger();
    // Never saved: the dialog is asked, starting from the default name.
    QCOMPARE(f.fileDialogs->asked.size(), 1);
    QVERIFY(f.fileDialogs->asked[0].save);
    QCOMPARE(f.fileDialogs->asked[0].folder, QString());
    QCOMPARE(f.fileDialogs->asked[0].fileName, QStringLiteral("Program1"));
    QCOMPARE(f.fileDialogs->asked[0].pattern, QStringLiteral("*.txt"));
    QCOMPARE(readBytes(path), kSampleFile);
    QVERIFY(!form->getDirty());
    QCOMPARE(form->windowTitle(), QStringLiteral("sample.txt"));
    QCOMPARE(form->getFileName(true), path);

    // Opened again it is the same program, unchanged.
    f.fileDialogs->answers = {path};
    FrmProg *opened = f.main->openProgram();
    QVERIFY(opened);
    QCOMPARE(f.fileDialogs->asked.last().description,
             f.app.context().run.langIni.GetINIStr("Tool", "Mes000"));
    QCOMPARE(opened->getStep(), form->getStep());
    for (int row = 1; row <= form->getStep(); ++row)
        for (int axis = 1; axis <= 2; ++axis)
            QCOMPARE(opened->getProgCell(axis, row), form->getProgCell(axis, row));
    QVERIFY(!opened->getDirty());
    QCOMPARE(opened->windowTitle(), QStringLiteral("sample.txt"));
    QCOMPARE(opened->currentRow(), 1);
    QCOMPARE(opened->getSelectedAxis(), 1);
    QVERIFY(f.item("mnuEdit")->isEnabled());

    // Saved again without asking, byte for byte the same.
    QFile::remove(path);
    const int asked = int(f.fileDialogs->asked.size());
    QVERIFY(f.main->saveProgram(opened, false));
    QCOMPARE(f.fileDialogs->asked.size(), asked);
    QCOMPARE(readBytes(path), kSampleFile);
}

void TestProgramFiles::saveAsAlwaysAsks()
{
    AppFixture f(2);
    FrmProg *form = sampleProgram(f);
    const QString first = f.dir.filePath(QStringLiteral("first.txt"));
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("other")));
    const QString second = f.dir.filePath(QStringLiteral("other/second"));
    f.fileDialogs->answers = {first, second};
    QVERIFY(f.main->saveProgram(form, false));
    f.item("mnuFileSaveAs")->trigger();
    QCOMPARE(f.fileDialogs->asked.size(), 2);
    QCOMPARE(f.fileDialogs->asked[1].folder, f.dir.path());
    QCOMPARE(f.fileDialogs->asked[1].fileName, QStringLiteral("first.txt"));
    // The name is used as chosen: no extension added.
    QCOMPARE(readBytes(second), kSampleFile);
    QCOMPARE(form->windowTitle(), QStringLiteral("second"));
}

void TestProgramFiles::cancelledSaveChangesNothing()
{
    AppFixture f(2);
    FrmProg *form = sampleProgram(f);
    QVERIFY(!f.main->saveProgram(form, false));
    QCOMPARE(f.fileDialogs->asked.size(), 1);
    QVERIFY(form->getDirty());
    QCOMPARE(form->windowTitle(), QStringLiteral("Program1*"));
    QVERIFY(f.presenter.shown.isEmpty());
}

void TestProgramFiles::failedSaveKeepsOldFile()
{
    AppFixture f(2);
    FrmProg *form = sampleProgram(f);
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("locked")));
    const QString folder = f.dir.filePath(QStringLiteral("locked"));
    const QString path = folder + QStringLiteral("/old.txt");
    QVERIFY(writeBytes(path, "AXIS=2\r\nH:,H:\r\n"));
    form->setFileName(path);
    form->setDirty(true);

    {
        LockedFolder lock(folder);
        if (!lock.locked)
            QSKIP("this file system cannot lock a folder");
        QVERIFY(!f.main->saveProgram(form, false));
    }
    QCOMPARE(readBytes(path), QByteArray("AXIS=2\r\nH:,H:\r\n"));
    QVERIFY(form->getDirty());
    QCOMPARE(form->getFileName(true), path);
    QCOMPARE(form->windowTitle(), QStringLiteral("old.txt*"));
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(f.presenter.shown[0].kind, MsgKind::Error);
    QVERIFY(f.presenter.shown[0].text.startsWith(f.app.context().run.langIni.GetINIStr("MsgBox", "Mes052")));
    QVERIFY(f.presenter.shown[0].text.contains(path));

    // A folder that does not exist fails the same way.
    f.fileDialogs->answers = {f.dir.filePath(QStringLiteral("missing/x.txt"))};
    QVERIFY(!f.main->saveProgram(form, true));
    QCOMPARE(form->getFileName(true), path);
    QCOMPARE(f.presenter.shown.size(), 2);
}

void TestProgramFiles::closingWithYesSaves()
{
    AppFixture f(2);
    FrmProg *form = sampleProgram(f);
    const QString path = f.dir.filePath(QStringLiteral("closing.txt"));
    f.fileDialogs->answers = {path};
    f.presenter.answers = {MsgAnswer::Yes};
    QVERIFY(form->close());
    QCOMPARE(readBytes(path), kSampleFile);
}

void TestProgramFiles::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: a folder instead of a file
    QTest::addColumn<QString>("key");        // the message's key in MsgBox
    QTest::addColumn<int>("line");           // the line the message names; 0: none
    QTest::newRow("three axes while the run has two")
        << QByteArray("AXIS=3\r\nH:,H:,H:\r\n") << "Mes051" << 1;
    QTest::newRow("no axis count") << QByteArray("AXIS2\r\nH:,H:\r\n") << "Mes051" << 1;
    QTest::newRow("empty file") << QByteArray("\r\n") << "Mes051" << 1;
    QTest::newRow("too few cells") << QByteArray("AXIS=2\r\nH:,H:\r\nAGO:100\r\n") << "Mes020" << 3;
    QTest::newRow("first speed above the second")
        << QByteArray("AXIS=2\r\nD:500:100:10,U00:\r\n") << "Mes020" << 2;
    QTest::newRow("double-byte label")
        << QByteArray("AXIS=2\r\n#:\x88\x9f,#:a\r\n") << "Mes020" << 2;
    QTest::newRow("unreadable") << QByteArray() << "Mes053" << 0;
}

void TestProgramFiles::refusedFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(int, line);
    AppFixture f(2);
    const QString path = f.dir.filePath(QStringLiteral("refused.txt"));
    if (content.isEmpty())
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("refused.txt")));
    else
        QVERIFY(writeBytes(path, content));
    f.fileDialogs->answers = {path};
    f.item("mnuFileOpen")->trigger();
    QCOMPARE(windows(f), 0);
    QVERIFY(!f.main->getLiveForm());
    QVERIFY(!f.item("mnuFileClose")->isEnabled());
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(f.presenter.shown[0].kind, MsgKind::Error);
    const QString text = f.presenter.shown[0].text;
    QVERIFY(text.startsWith(f.app.context().run.langIni.GetINIStr("MsgBox", key)));
    // Where and why, as velomat-cli check says it.
    if (line > 0)
        QVERIFY2(text.contains(u'\n' + f.app.context().messages.keyText("Mes071").arg(QString::number(line), QString())),
                 qPrintable(text));
}

void TestProgramFiles::stepsPastTheLimitWarned()
{
    AppFixture f(1);
    QByteArray content = "AXIS=1\r\n";
    for (int i = 0; i < 150; ++i)
        content += "W:" + QByteArray::number(i + 1) + "\r\n";
    const QString path = f.dir.filePath(QStringLiteral("long.txt"));
    QVERIFY(writeBytes(path, content));
    f.fileDialogs->answers = {path};
    FrmProg *form = f.main->openProgram();
    QVERIFY(form);
    QCOMPARE(form->getStep(), 100);
    QCOMPARE(form->getProgCell(1, 100), QStringList({"16", "100"}));
    // The user is warned that the rest of the file was left out.
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(f.presenter.shown[0].kind, MsgKind::Warning);
    QVERIFY2(f.presenter.shown[0].text.contains(u"50"), qPrintable(f.presenter.shown[0].text));

    // Cancelling the open dialog does nothing.
    QVERIFY(!f.main->openProgram());
    QCOMPARE(windows(f), 1);
}

void TestProgramFiles::refusedCellsWarnedOnce_data()
{
    QTest::addColumn<QByteArray>("line"); // the second upload line
    QTest::addColumn<QByteArray>("file"); // what is saved, unchanged
    QTest::addColumn<int>("axis");        // of the cell warned about; 0: no warning

    QTest::newRow("S:99 in axis B") << QByteArray("AGO:A+00001000|S:A99")
                                    << QByteArray("AXIS=2\r\nH:,H:\r\nAGO:1000,S:99\r\n") << 2;
    QTest::newRow("double-byte text filling its step")
        << QByteArray("#:\x82\xa0") << QByteArray("AXIS=2\r\nH:,H:\r\n#:\x82\xa0,#:\x82\xa0\r\n") << 1;
    QTest::newRow("valid program") << QByteArray("AGO:A+00001000|S:A15")
                                   << QByteArray("AXIS=2\r\nH:,H:\r\nAGO:1000,S:15\r\n") << 0;
}

// An uploaded program is saved as the controller holds it; a cell that
// File > Open will refuse is warned about on the first save only.
void TestProgramFiles::refusedCellsWarnedOnce()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, file);
    QFETCH(int, axis);

    AppFixture f(2);
    const AppContext &ctx = f.app.context();
    mdlUpLoad upload(ctx.catalogue);
    upload.initUpload(2);
    QVERIFY(upload.bTakeUploadLine("H:A|H:B"));
    QVERIFY(upload.bTakeUploadLine(line));
    QCOMPARE(upload.problems().isEmpty(), axis == 0);
    FrmProg *form = f.main->makeNewForm(2);
    QVERIFY(form->document()->putSteps(upload.finishUpload()));
    form->markUploaded(3);

    const QString path = f.dir.filePath(QStringLiteral("upload.txt"));
    f.fileDialogs->answers = {path};
    QVERIFY(f.main->saveProgram(form, false));
    QCOMPARE(readBytes(path), file);
    if (axis == 0) {
        QVERIFY(f.presenter.shown.isEmpty());
        return;
    }
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(f.presenter.shown[0].kind, MsgKind::Warning);
    QCOMPARE(f.presenter.shown[0].buttons, MsgButtons::Ok);
    const QString axisName = ctx.run.langIni.GetINIStr("FrmProg", clsIniFile::numberedKey(u"Mes", axis + 1));
    QCOMPARE(f.presenter.shown[0].text,
             ctx.run.langIni.GetINIStr("MsgBox", "Mes062").arg(ProgramDocument::stepLabel(2), axisName));

    // Rightly so: File > Open refuses the file.
    f.fileDialogs->answers = {path};
    QVERIFY(!f.main->openProgram());
    QCOMPARE(f.presenter.shown.size(), 2);

    // Saved again, under its name or another: no second warning.
    QVERIFY(f.main->saveProgram(form, false));
    f.fileDialogs->answers = {f.dir.filePath(QStringLiteral("again.txt"))};
    QVERIFY(f.main->saveProgram(form, true));
    QCOMPARE(f.presenter.shown.size(), 2);
}

void TestProgramFiles::emptyProgram()
{
    AppFixture f(3);
    FrmProg *form = f.main->makeNewForm(3);
    const QString path = f.dir.filePath(QStringLiteral("empty.txt"));
    f.fileDialogs->answers = {path, path};
    QVERIFY(f.main->saveProgram(form, false));
    QCOMPARE(readBytes(path), QByteArray("AXIS=3\r\n"));
    FrmProg *opened = f.main->openProgram();
    QVERIFY(opened);
    QCOMPARE(opened->getStep(), 0);
    QVERIFY(!f.item("mnuEdit")->isEnabled());
}

void TestProgramFiles::withoutLanguageFileSavesSameBytes()
{
    AppFixture f(2, QString(), false);
    const QByteArray content = "AXIS=2\r\nH:,H:\r\nD:100:5000:200,D:100:5000:200\r\n"
                               "AGO:10000,AGO:-500\r\nW:10,U00:\r\n#:\tEND\x80\xFF\t,U00:\r\n";
    const QString path = f.dir.filePath(QStringLiteral("in.txt"));
    const QString copy = f.dir.filePath(QStringLiteral("out.txt"));
    QVERIFY(writeBytes(path, content));
    f.fileDialogs->answers = {path, copy};
    FrmProg *form = f.main->openProgram();
    QVERIFY(form);
    f.item("mnuFileSaveAs")->trigger();
    QCOMPARE(readBytes(copy), content);
}

// A save that runs out of disk space: the old file, the window's name and
// its unsaved mark all stay as they were, and the user is told.
void TestProgramFiles::diskFullKeepsEverything()
{
    AppFixture f(2);
    FrmProg *form = sampleProgram(f);
    const QString path = f.dir.filePath(QStringLiteral("old.txt"));
    const QByteArray old = "AXIS=2\r\nH:,H:\r\n";
    QVERIFY(writeBytes(path, old));
    form->setFileName(path);
    form->setDirty(true);
    const QString title = form->windowTitle();
    {
        FileSizeLimit full(old.size());
        QVERIFY(!f.main->saveProgram(form, false));
    }
    QCOMPARE(readBytes(path), old);
    QCOMPARE(form->getFileName(true), path);
    QVERIFY(form->getDirty());
    QCOMPARE(form->windowTitle(), title);
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(f.presenter.shown[0].kind, MsgKind::Error);
}

// File > Open Recent: files opened and saved, most recent first; a file
// gone since is taken off with a message.
void TestProgramFiles::recentFiles()
{
    AppFixture f(2);
    const QString a = f.dir.filePath(QStringLiteral("a&b.txt"));
    const QString b = f.dir.filePath(QStringLiteral("b.txt"));
    QVERIFY(writeBytes(a, "AXIS=2\r\nH:,H:\r\n"));
    QMenu *menu = f.item("mnuFileRecent")->menu();
    auto listed = [menu] {
        QStringList files;
        for (QAction *entry : menu->actions()) {
            if (entry->isVisible())
                files << entry->data().toString();
        }
        return files;
    };
    QVERIFY(!f.item("mnuFileRecent")->isEnabled());

    f.fileDialogs->answers = {a, b};
    f.item("mnuFileOpen")->trigger();
    QVERIFY(f.main->saveProgram(sampleProgram(f), false));
    QCOMPARE(listed(), (QStringList{b, a}));
    QVERIFY(f.item("mnuFileRecent")->isEnabled());
    QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("&2 ") + QDir::toNativeSeparators(f.dir.path())
                                                + QDir::separator() + QStringLiteral("a&&b.txt"));

    // Chosen, it opens as File > Open opens it and moves to the front.
    menu->actions().at(1)->trigger();
    QCOMPARE(windows(f), 3);
    QCOMPARE(f.main->activeForm()->getFileName(true), a);
    QCOMPARE(listed(), (QStringList{a, b}));

    QVERIFY(QFile::remove(b));
    menu->actions().at(1)->trigger();
    QCOMPARE(windows(f), 3);
    QCOMPARE(listed(), QStringList{a});
    QCOMPARE(f.presenter.shown.size(), 1);
    QVERIFY(f.presenter.shown[0].text.startsWith(f.app.context().run.langIni.GetINIStr("MsgBox", "Mes060")));
    QVERIFY(f.presenter.shown[0].text.contains(b));
    // What the next run reads.
    RecentFiles stored(f.dir.filePath(QLatin1String(RecentFiles::kFileName)));
    stored.load();
    QCOMPARE(stored.files(), QStringList{a});
}

void TestProgramFiles::droppedFiles_data()
{
    QTest::addColumn<QStringList>("dropped"); // names in the folder, or URLs
    QTest::addColumn<bool>("onGrid");         // onto an open document, else the empty area
    QTest::addColumn<QStringList>("opened");  // none: the drag is refused
    QTest::addColumn<QString>("refusal"); // key of the message, if any
    const QStringList one{"a.txt"};
    QTest::newRow("one program") << one << false << one << QString();
    QTest::newRow("onto a document's grid") << one << true << one << QString();
    QTest::newRow("two programs") << QStringList{"a.txt", "b"} << false << QStringList{"a.txt", "b"} << QString();
    QTest::newRow("a refused file beside a program") << QStringList{"three.txt", "a.txt"} << false << one << "Mes051";
    QTest::newRow("no local file") << QStringList{"https://example.com/a.txt"} << false << QStringList{} << QString();
}

void TestProgramFiles::droppedFiles()
{
    QFETCH(QStringList, dropped);
    QFETCH(bool, onGrid);
    QFETCH(QStringList, opened);
    QFETCH(QString, refusal);
    AppFixture f(2);
    for (const char *name : {"a.txt", "b"})
        QVERIFY(writeBytes(f.dir.filePath(QLatin1String(name)), "AXIS=2\r\nH:,H:\r\n"));
    QVERIFY(writeBytes(f.dir.filePath(QStringLiteral("three.txt")), "AXIS=3\r\nH:,H:,H:\r\n"));
    const int before = onGrid ? 1 : 0;
    QWidget *under = onGrid ? f.main->makeNewForm(2)->grid()->viewport() : f.main->mdiArea()->viewport();

    // As a file manager drags: the file URLs, and their text.
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &name : dropped)
        urls << (name.contains(u':') ? QUrl(name) : QUrl::fromLocalFile(f.dir.filePath(name)));
    mime.setUrls(urls);
    mime.setText(urls.first().toString());
    // Delivered as the window delivers it: to the first widget from the one
    // under the mouse up that takes drops.
    QWidget *target = under;
    while (!target->acceptDrops())
        target = target->parentWidget();
    const QPoint pos = under->mapTo(target, under->rect().center());
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), !opened.isEmpty());
    if (opened.isEmpty())
        return;
    QDropEvent drop(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());

    QTRY_COMPARE(windows(f), before + int(opened.size()));
    QStringList names;
    for (QMdiSubWindow *w : f.main->mdiArea()->subWindowList().mid(before))
        names << qobject_cast<FrmProg *>(w)->getFileName(false);
    QCOMPARE(names, opened);
    // A grid takes no command from a file's name.
    if (onGrid)
        QCOMPARE(qobject_cast<FrmProg *>(f.main->mdiArea()->subWindowList().first())->getStep(), 0);
    QCOMPARE(f.presenter.shown.size(), refusal.isEmpty() ? 0 : 1);
    if (!refusal.isEmpty())
        QVERIFY(f.presenter.shown[0].text.startsWith(f.app.context().run.langIni.GetINIStr("MsgBox", refusal)));
}

void TestProgramFiles::dialogFiltersFollowLanguage_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::newRow("Japanese") << QStringLiteral("0");
    QTest::newRow("English") << QStringLiteral("1");
}

void TestProgramFiles::dialogFiltersFollowLanguage()
{
    QFETCH(QString, commandLine);
    AppFixture f(2, commandLine);
    const clsIniFile &lang = f.app.context().run.langIni;
    const QString programs = lang.GetINIStr("Tool", "Mes000") + QStringLiteral("|*.txt");
    const QString all = lang.GetINIStr("Tool", "Mes900") + QStringLiteral("|*");
    f.main->openProgram();
    f.main->saveProgram(f.main->makeNewForm(2), false);
    QCOMPARE(f.fileDialogs->asked.size(), 2);
    auto offered = [&](int i) {
        QStringList list;
        for (const FileDialogs::Filter &filter : f.fileDialogs->asked[i].filters)
            list << filter.description + u'|' + filter.pattern;
        return list;
    };
    // Open offers every file too: a name saved without ".txt" stays so.
    QCOMPARE(offered(0), (QStringList{programs, all}));
    QCOMPARE(offered(1), QStringList{programs});
    QVERIFY(!programs.startsWith(u'|') && !all.startsWith(u'|'));
}

void TestProgramFiles::saveDialogSuffix_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pattern"); // of the filter chosen
    QTest::addColumn<QString>("saved");
    QTest::newRow("no suffix: .txt added") << "prog" << "*.txt" << "prog.txt";
    QTest::newRow("suffix given") << "prog.txt" << "*.txt" << "prog.txt";
    QTest::newRow("another suffix kept") << "prog.v2" << "*.txt" << "prog.v2";
    QTest::newRow("every file: as typed") << "prog" << "*" << "prog";
}

// The real save dialog, answered as a user types a name and presses Save.
void TestProgramFiles::saveDialogSuffix()
{
    QFETCH(QString, typed);
    QFETCH(QString, pattern);
    QFETCH(QString, saved);
    QTemporaryDir dir;
    QtFileDialogs dialogs(nullptr);
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(typed);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const QString path = dialogs.askSaveFileName(dir.path(), QString(), {{QStringLiteral("Programs"), pattern}});
    QCOMPARE(path, dir.filePath(saved));
}

QTEST_MAIN(TestProgramFiles)
#include "tst_programfiles.moc"
