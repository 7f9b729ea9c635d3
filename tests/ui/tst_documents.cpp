#include "program/Catalogue.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "support/AppFixture.h"
#include "support/ScriptedDataEntry.h"
#include "ui/FrmCmd.h"
#include "ui/FrmProg.h"
#include "ui/ProgGrid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUndoStack>
#include <QtTest>

namespace {

// Installs a scripted data entry dialog and returns it.
ScriptedDataEntry *scriptEntry(AppFixture &f)
{
    auto entry = std::make_unique<ScriptedDataEntry>();
    ScriptedDataEntry *raw = entry.get();
    f.main->setDataEntry(std::move(entry));
    return raw;
}

QList<int> selectedColumns(FrmProg *form)
{
    QList<int> cols;
    for (const QModelIndex &i : form->grid()->selectionModel()->selectedIndexes())
        cols << i.column();
    std::sort(cols.begin(), cols.end());
    return cols;
}

void dropOn(QWidget *target, const QPoint &pos, const QString &text)
{
    QMimeData mime;
    mime.setText(text);
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

QByteArray fileBytes(AppFixture &f, FrmProg *form)
{
    return ProgramFile::writeProgram(f.app.context().catalogue, form->getAxis(), form->document()->steps());
}

// A program of the given step lines, as File > Open leaves it: unchanged.
FrmProg *openedProgram(AppFixture &f, const QString &lines)
{
    FrmProg *form = f.main->makeNewForm(f.app.context().run.axisNum);
    const auto read = ProgramFile::readProgram(f.app.context().catalogue,
                                               "AXIS=" + QByteArray::number(form->getAxis()) + "\r\n" + lines.toLatin1(),
                                               form->getAxis(), form->document()->maxStep());
    if (read.status != ProgramFile::ReadResult::Ok)
        qFatal("test program refused: %s", qPrintable(read.reason));
    form->document()->putSteps(read.steps);
    form->selectCell(1, 1);
    return form;
}

void clickStepNumber(FrmProg *form, int row, Qt::KeyboardModifiers modifiers = {})
{
    QHeaderView *header = form->grid()->verticalHeader();
    form->grid()->scrollTo(form->document()->index(row, 1));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers,
                      QPoint(header->width() / 2, header->sectionViewportPosition(row) + 3));
}

void dropOnCell(FrmProg *form, int row, int column, const QString &text)
{
    ProgGrid *grid = form->grid();
    const QModelIndex index = form->document()->index(row, column);
    grid->scrollTo(index);
    dropOn(grid->viewport(), grid->visualRect(index).center(), text);
}

} // namespace

class TestDocuments : public QObject
{
    Q_OBJECT

private slots:
    void numbering();
    void menuStatesThroughLife();
    void gridGeometry();
    void selectionNormalised();
    void arrowKeys();
    void closingQuestion_data();
    void closingQuestion();
    void mainWindowCloseChecksEveryDocument();
    void uploadedDocument_data();
    void uploadedDocument();
    void dropCommand();
    void dropOnHeaderRow();
    void doubleClickEdits();
    void insertAndDeleteFromMenu();
    void undoRedoFromMenu_data();
    void undoRedoFromMenu();
    void dirtyFollowsSavedState();
    void stepsThroughClipboard();
    void windowMenu();
    void nextAndPrevious_data();
    void nextAndPrevious();
    void newWindowsInsideArea();
    void focusSwitchKey();
    void tabKeys_data();
    void tabKeys();
};

void TestDocuments::numbering()
{
    AppFixture f(3);
    FrmProg *one = f.main->makeNewForm(3);
    FrmProg *two = f.main->makeNewForm(3);
    QCOMPARE(one->windowTitle(), QStringLiteral("Program1"));
    QCOMPARE(two->windowTitle(), QStringLiteral("Program2"));
    QCOMPARE(one->getAxis(), 3);
    QVERIFY(two->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f.item("mnuFileNew")->trigger();
    auto *three = qobject_cast<FrmProg *>(f.main->mdiArea()->currentSubWindow());
    QVERIFY(three);
    QCOMPARE(three->windowTitle(), QStringLiteral("Program3"));
    QCOMPARE(f.main->nextDocNo(), 4);
}

void TestDocuments::menuStatesThroughLife()
{
    AppFixture f(2);
    scriptEntry(f);
    QVERIFY(!f.main->getLiveForm());
    f.item("mnuFileNew")->trigger();
    QVERIFY(f.main->getLiveForm());
    for (const char *name : {"mnuFileClose", "mnuFileSave", "mnuFileSaveAs", "mnuDisp"})
        QVERIFY2(f.item(name)->isEnabled(), name);
    QVERIFY(f.item("mnuDispCmd")->isChecked());
    QVERIFY(!f.item("mnuEdit")->isEnabled()); // no step yet
    QVERIFY(!f.item("mnuComTx")->isEnabled());

    FrmProg *form = f.main->activeForm();
    form->putAndFill(1, 1, Catalogue::H, {"4"});
    QCOMPARE(form->getStep(), 1);
    QVERIFY(f.item("mnuEdit")->isEnabled());
    QVERIFY(!f.item("mnuComTx")->isEnabled()); // no usable port

    // With no usable port, opening Communication leaves the link items off.
    emit f.main->findChild<QMenu *>("mnuComm")->aboutToShow();
    QVERIFY(!f.item("mnuComUL")->isEnabled());
    QVERIFY(!f.item("mnuComExe")->isEnabled());
    QVERIFY(f.item("mnuComParam")->isEnabled());
    QVERIFY(f.item("mnuCommChk")->isEnabled());

    // View > Command table toggles its mark.
    f.item("mnuDispCmd")->trigger();
    QVERIFY(!f.item("mnuDispCmd")->isChecked());
    f.item("mnuDispCmd")->trigger();
    QVERIFY(f.item("mnuDispCmd")->isChecked());

    // Closing one of two changes nothing; closing the last disables all.
    FrmProg *second = f.main->makeNewForm(2);
    QVERIFY(second->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QVERIFY(f.item("mnuFileClose")->isEnabled());
    QVERIFY(f.item("mnuDispCmd")->isChecked());

    f.presenter.answers = {MsgAnswer::No};
    f.item("mnuFileClose")->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTRY_VERIFY(!f.item("mnuFileClose")->isEnabled());
    for (const char *name : {"mnuFileSave", "mnuFileSaveAs", "mnuEdit", "mnuDisp", "mnuComTx"})
        QVERIFY2(!f.item(name)->isEnabled(), name);
    QVERIFY(!f.item("mnuDispCmd")->isChecked());
    QVERIFY(!f.main->getLiveForm());

    // The parameter editor's item never shows, however File is opened.
    emit f.main->findChild<QMenu *>("mnuFile")->aboutToShow();
    QVERIFY(!f.item("mnuFilePara")->isVisible());
    QVERIFY(!f.item("mnuLine2")->isVisible());
}

void TestDocuments::gridGeometry()
{
    AppFixture f(1);
    FrmProg *form = f.main->makeNewForm(1);
    QCOMPARE(form->document()->columnCount(), 3);
    QCOMPARE(form->document()->rowCount(), 101);
    QVERIFY(form->grid()->isRowHidden(0));
    QVERIFY(form->grid()->isColumnHidden(0));
    QCOMPARE(form->grid()->verticalHeader()->sectionSize(1),
             form->grid()->verticalHeader()->defaultSectionSize());
    const clsIniFile &lang = f.app.context().run.langIni;
    QCOMPARE(form->grid()->model()->headerData(2, Qt::Horizontal).toString(),
             lang.GetINIStr("FrmProg", "Mes005") + "\n" + lang.GetINIStr("FrmProg", "Mes006"));
    // Japanese run: text columns 1900 twips.
    const int dpi = form->grid()->logicalDpiX();
    QCOMPARE(form->grid()->horizontalHeader()->sectionSize(2), qRound(1900.0 * dpi / 1440.0));
    // 70 % of the main window's client area.
    const QSize client = f.main->mdiArea()->viewport()->size();
    QCOMPARE(form->width(), int(client.width() * 0.7));

    AppFixture english(3, QStringLiteral("1"));
    FrmProg *wide = english.main->makeNewForm(3);
    QCOMPARE(wide->grid()->horizontalHeader()->sectionSize(8), qRound(3200.0 * dpi / 1440.0));
    QVERIFY(wide->grid()->horizontalHeader()->sectionSize(3) < 5); // separator
}

void TestDocuments::selectionNormalised()
{
    AppFixture f(3);
    FrmProg *form = f.main->makeNewForm(3);
    QCOMPARE(selectedColumns(form), QList<int>({1, 2}));
    QCOMPARE(form->currentRow(), 1);

    struct Case { int column; int axis; QList<int> cols; };
    for (const Case &c : {Case{2, 1, {1, 2}}, Case{3, 2, {4, 5}}, Case{5, 2, {4, 5}},
                          Case{7, 3, {7, 8}}, Case{0, 1, {1, 2}}}) {
        // A click lands wherever; the selection follows to the axis.
        form->grid()->setCurrentIndex(form->document()->index(5, c.column));
        QCOMPARE(form->getSelectedAxis(), c.axis);
        QCOMPARE(selectedColumns(form), c.cols);
        QCOMPARE(form->currentRow(), 5);
    }
}

void TestDocuments::arrowKeys()
{
    AppFixture f(3);
    FrmProg *form = f.main->makeNewForm(3);
    ProgGrid *grid = form->grid();
    grid->setFocus();
    form->selectCell(4, 1);

    QTest::keyClick(grid, Qt::Key_Right);
    QCOMPARE(form->getSelectedAxis(), 2);
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Right); // stops at the last axis
    QCOMPARE(form->getSelectedAxis(), 3);
    QCOMPARE(selectedColumns(form), QList<int>({7, 8}));
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(form->currentRow(), 5);
    QCOMPARE(selectedColumns(form), QList<int>({7, 8}));
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(grid, Qt::Key_Left); // stops at the first axis
    QCOMPARE(form->getSelectedAxis(), 1);
    QTest::keyClick(grid, Qt::Key_Up);
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(form->currentRow(), 3);
    QCOMPARE(selectedColumns(form), QList<int>({1, 2}));
}

void TestDocuments::closingQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("no: closes without saving") << MsgAnswer::No << true;
    QTest::newRow("cancel: stays open") << MsgAnswer::Cancel << false;
    // The save dialog is cancelled: the window and its changes stay.
    QTest::newRow("yes, save cancelled: stays open") << MsgAnswer::Yes << false;
}

void TestDocuments::closingQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, closed);
    AppFixture f(2);
    scriptEntry(f);
    FrmProg *form = f.main->makeNewForm(2);

    // Unchanged: no question.
    FrmProg *clean = f.main->makeNewForm(2);
    QVERIFY(clean->close());
    QVERIFY(f.presenter.shown.isEmpty());

    form->putAndFill(2, 3, Catalogue::AGO, {"1", "100"});
    QCOMPARE(form->windowTitle(), QStringLiteral("Program1*"));
    f.presenter.answers = {answer};
    QCOMPARE(form->close(), closed);
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(f.presenter.shown[0].kind, MsgKind::Question);
    QCOMPARE(f.presenter.shown[0].buttons, MsgButtons::YesNoCancel);
    QVERIFY(f.presenter.shown[0].text.startsWith(QStringLiteral("'Program1'  ")));
}

void TestDocuments::mainWindowCloseChecksEveryDocument()
{
    AppFixture f(1);
    scriptEntry(f);
    FrmProg *a = f.main->makeNewForm(1);
    FrmProg *b = f.main->makeNewForm(1);
    a->putAndFill(1, 1, Catalogue::H, {"4"});
    b->putAndFill(1, 1, Catalogue::H, {"4"});
    QSignalSpy finished(&f.app, &VelomatApp::finished);

    f.presenter.answers = {MsgAnswer::No, MsgAnswer::Cancel};
    QVERIFY(!f.main->close());
    QCOMPARE(f.main->mdiArea()->subWindowList().size(), 2);
    QVERIFY(a->isVisible() && b->isVisible());
    QCOMPARE(finished.count(), 0);

    f.presenter.answers = {MsgAnswer::No, MsgAnswer::No};
    QVERIFY(f.main->close());
    QCOMPARE(f.presenter.shown.size(), 4); // asked once each time, not again
    QCOMPARE(finished.count(), 1);
}

void TestDocuments::uploadedDocument_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("name");
    QTest::newRow("English") << "1" << "Channel 02";
    QTest::newRow("Japanese") << "" << QString::fromUtf16(u"\u30c1\u30e3\u30f3\u30cd\u30eb 02");
}

// A program read from a channel has no file: it is named after the channel,
// unsaved, asked about on closing, and saved only under a name asked for.
void TestDocuments::uploadedDocument()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, name);
    AppFixture f(2, commandLine);
    FrmProg *form = f.main->makeNewForm(2);
    QVERIFY(form->document()->putSteps({{ProgCell{Catalogue::H, {}}, ProgCell{Catalogue::H, {}}}}));
    form->markUploaded(2);
    QCOMPARE(form->windowTitle(), name + u'*');
    QVERIFY(form->getDirty());

    // Yes saves, and the name is asked for; cancelled, the window stays.
    f.presenter.answers = {MsgAnswer::Yes};
    QVERIFY(!form->close());
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(f.presenter.shown[0].buttons, MsgButtons::YesNoCancel);
    QVERIFY2(f.presenter.shown[0].text.contains(name), qPrintable(f.presenter.shown[0].text));
    QCOMPARE(f.fileDialogs->asked.size(), 1);
    QCOMPARE(f.fileDialogs->asked[0].fileName, name);
    QVERIFY(form->getDirty());

    f.item("mnuFileSave")->trigger();
    QCOMPARE(f.fileDialogs->asked.size(), 2);
    QVERIFY(f.fileDialogs->asked[1].save);

    f.presenter.answers = {MsgAnswer::No};
    QVERIFY(form->close());
    QCOMPARE(f.presenter.shown.size(), 2);
}

void TestDocuments::dropCommand()
{
    AppFixture f(2);
    ScriptedDataEntry *entry = scriptEntry(f);
    FrmProg *form = f.main->makeNewForm(2);
    const Catalogue &catalogue = f.app.context().catalogue;

    // D: dropped on row 10, axis 2 of an empty two-axis document.
    dropOnCell(form, 10, ProgramDocument::textColumn(2), catalogue.name(Catalogue::D));
    QCOMPARE(entry->calls.size(), 1);
    QCOMPARE(entry->calls[0].axis, 2);
    QCOMPARE(entry->calls[0].step, 10);
    QCOMPARE(entry->calls[0].data.mid(0, 4), QStringList({"6", "10", "10", "1"}));
    QCOMPARE(form->getStep(), 10);
    for (int row = 1; row <= 9; ++row)
        for (int axis = 1; axis <= 2; ++axis)
            QCOMPARE(form->getProgCell(axis, row), QStringList({"10"}));
    QCOMPARE(form->getProgCell(2, 10), QStringList({"6", "10", "10", "1"}));
    QCOMPARE(form->getProgCell(1, 10), QStringList({"10"}));
    QCOMPARE(form->currentRow(), 10);
    QCOMPARE(form->getSelectedAxis(), 2);

    // The icon column counts for its axis too; text that is no command name
    // places nothing.
    dropOnCell(form, 3, ProgramDocument::iconColumn(1), QStringLiteral("not a command"));
    QCOMPARE(entry->calls.size(), 1);
    dropOnCell(form, 3, ProgramDocument::iconColumn(1), catalogue.name(Catalogue::W));
    QCOMPARE(form->getProgCell(1, 3), QStringList({"16", "1"}));
}

void TestDocuments::dropOnHeaderRow()
{
    AppFixture f(2);
    ScriptedDataEntry *entry = scriptEntry(f);
    FrmProg *form = f.main->makeNewForm(2);
    form->selectCell(7, ProgramDocument::textColumn(2));
    QHeaderView *header = form->grid()->horizontalHeader();
    const int x = header->sectionViewportPosition(ProgramDocument::textColumn(2)) + 5;
    dropOn(header->viewport(), QPoint(x, header->height() / 2),
           f.app.context().catalogue.name(Catalogue::H));
    QVERIFY(entry->calls.isEmpty());
    QCOMPARE(form->getStep(), 0);
    QCOMPARE(form->currentRow(), 1);
    QCOMPARE(selectedColumns(form), QList<int>({4, 5}));
}

void TestDocuments::doubleClickEdits()
{
    AppFixture f(1);
    ScriptedDataEntry *entry = scriptEntry(f);
    FrmProg *form = f.main->makeNewForm(1);
    form->putAndFill(1, 1, Catalogue::AGO, {"1", "5"});
    entry->calls.clear();

    ProgGrid *grid = form->grid();
    const QPoint filled = grid->visualRect(form->document()->index(1, 2)).center();
    const QPoint empty = grid->visualRect(form->document()->index(2, 2)).center();
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, empty);
    QVERIFY(entry->calls.isEmpty());

    entry->reply = {"1", "750"};
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, filled);
    QCOMPARE(entry->calls.size(), 1);
    QCOMPARE(entry->calls[0].data, QStringList({"1", "5"}));
    QCOMPARE(form->getProgCell(1, 1), QStringList({"1", "750"}));
}

void TestDocuments::insertAndDeleteFromMenu()
{
    AppFixture f(1);
    scriptEntry(f);
    FrmProg *form = f.main->makeNewForm(1);
    form->putAndFill(1, 2, Catalogue::W, {"16", "5"});
    form->selectCell(2, 2);
    f.item("mnuInsert")->trigger();
    QCOMPARE(form->getStep(), 3);
    QCOMPARE(form->getProgCell(1, 3), QStringList({"16", "5"}));
    QCOMPARE(form->currentRow(), 2);
    f.item("mnuCut")->trigger();
    f.item("mnuCut")->trigger();
    QCOMPARE(form->getStep(), 1);
    QCOMPARE(form->getProgCell(1, 1), QStringList({"10"}));
    // Past the last step: message 2, nothing changes.
    f.item("mnuCut")->trigger();
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(form->getStep(), 1);
}

void TestDocuments::undoRedoFromMenu_data()
{
    QTest::addColumn<QString>("change");
    for (const char *change : {"place", "edit", "insert", "delete", "paste steps", "paste cell",
                               "cut steps", "cut cell"})
        QTest::newRow(change) << QString::fromLatin1(change);
}

void TestDocuments::undoRedoFromMenu()
{
    QFETCH(QString, change);
    AppFixture f(2);
    ScriptedDataEntry *entry = scriptEntry(f);
    FrmProg *form = openedProgram(f, "AGO:100,AGO:200\r\nH:,W:3\r\nU01:4,U01:4\r\n");
    QGuiApplication::clipboard()->setText(change.endsWith("cell") ? "R:7" : "W:1,W:2\r\nH:,H:\r\n");
    const QByteArray before = fileBytes(f, form);
    QVERIFY(!f.item("mnuEditUndo")->isEnabled());

    if (change == "place") {
        form->putAndFill(2, 5, Catalogue::D, {"6", "10", "20", "5"});
    } else if (change == "edit") {
        entry->reply = {"1", "150"};
        form->grid()->setFocus();
        form->selectCell(1, 1);
        QTest::keyClick(form->grid(), Qt::Key_Return);
    } else if (change == "insert" || change == "delete") {
        form->selectCell(2, 1);
        f.item(change == "insert" ? "mnuInsert" : "mnuCut")->trigger();
    } else if (change.startsWith("paste")) {
        if (change == "paste steps")
            clickStepNumber(form, 2);
        else
            form->selectCell(2, ProgramDocument::textColumn(2));
        f.item("mnuEditPaste")->trigger();
    } else if (change == "cut steps") {
        clickStepNumber(form, 1);
        clickStepNumber(form, 3, Qt::ControlModifier);
        QCOMPARE(form->selectedSteps(), QList<int>({1, 3}));
        f.item("mnuEditCut")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("AGO:100,AGO:200\r\nU01:4,U01:4\r\n"));
    } else {
        form->selectCell(2, ProgramDocument::textColumn(2));
        f.item("mnuEditCut")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("W:3\r\n"));
    }
    const QByteArray after = fileBytes(f, form);
    QVERIFY(after != before);
    QCOMPARE(form->undoStack()->count(), 1); // one change, one undo step
    QCOMPARE(form->windowTitle(), QStringLiteral("Program1*"));
    QVERIFY(f.item("mnuEditUndo")->isEnabled());
    QVERIFY(!f.item("mnuEditRedo")->isEnabled());

    f.item("mnuEditUndo")->trigger();
    QCOMPARE(fileBytes(f, form), before);
    QCOMPARE(form->windowTitle(), QStringLiteral("Program1"));
    QVERIFY(!f.item("mnuEditUndo")->isEnabled());
    QVERIFY(f.item("mnuEditRedo")->isEnabled());
    f.item("mnuEditRedo")->trigger();
    QCOMPARE(fileBytes(f, form), after);
    QCOMPARE(form->windowTitle(), QStringLiteral("Program1*"));
    QVERIFY(f.presenter.shown.isEmpty());
}

void TestDocuments::dirtyFollowsSavedState()
{
    AppFixture f(1);
    scriptEntry(f);
    FrmProg *form = f.main->makeNewForm(1);
    form->putAndFill(1, 1, Catalogue::H, {"4"});
    f.fileDialogs->answers = {f.dir.filePath(QStringLiteral("saved.txt"))};
    QVERIFY(f.main->saveProgram(form, false));
    QCOMPARE(form->windowTitle(), QStringLiteral("saved.txt"));
    form->putAndFill(1, 2, Catalogue::W, {"16", "3"});
    QCOMPARE(form->windowTitle(), QStringLiteral("saved.txt*"));

    form->undo(); // back to the saved program
    QVERIFY(!form->getDirty());
    QCOMPARE(form->windowTitle(), QStringLiteral("saved.txt"));
    form->undo(); // before it
    QCOMPARE(form->windowTitle(), QStringLiteral("saved.txt*"));
    QCOMPARE(form->getStep(), 0);
    QVERIFY(!f.item("mnuEdit")->isEnabled()); // no step left
    // Its keys still reach undo and redo.
    QApplication::setActiveWindow(f.main);
    QTest::keyClick(form->grid(), Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(!form->getDirty());
    QCOMPARE(form->getStep(), 1);

    // Undo follows the active document.
    f.main->makeNewForm(1);
    QVERIFY(!f.item("mnuEditUndo")->isEnabled());
    f.main->mdiArea()->setActiveSubWindow(form);
    QVERIFY(f.item("mnuEditUndo")->isEnabled());
    QVERIFY(f.item("mnuEditRedo")->isEnabled());
}

void TestDocuments::stepsThroughClipboard()
{
    AppFixture f(2);
    scriptEntry(f);
    FrmProg *from = openedProgram(f, "H:,H:\r\nAGO:1,AGO:2\r\nD:10:20:3,U00:\r\n#:x,#:x\r\n");
    FrmProg *to = openedProgram(f, "W:5,W:6\r\n");
    f.main->activateWindow();
    QApplication::setActiveWindow(f.main);

    // Steps 2 to 4 of one program, by their step numbers and the keyboard ...
    f.main->mdiArea()->setActiveSubWindow(from);
    from->selectCell(1, ProgramDocument::textColumn(2));
    clickStepNumber(from, 2);
    QCOMPARE(from->getSelectedAxis(), 1); // a click on a step number: its first axis
    clickStepNumber(from, 4, Qt::ShiftModifier);
    QCOMPARE(from->selectedSteps(), QList<int>({2, 3, 4}));
    QTest::keyClick(from->grid(), Qt::Key_C, Qt::ControlModifier);
    const QString text = QStringLiteral("AGO:1,AGO:2\r\nD:10:20:3,U00:\r\n#:x,#:x\r\n");
    QCOMPARE(QGuiApplication::clipboard()->text(), text);

    // ... into another, before its selected step, as one undo step.
    f.main->mdiArea()->setActiveSubWindow(to);
    to->selectCell(1, 1);
    QTest::keyClick(to->grid(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(to->document()->stepsText({1, 2, 3, 4}), text + "W:5,W:6\r\n");
    QCOMPARE(to->selectedSteps(), QList<int>({1, 2, 3}));
    QTest::keyClick(to->grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(to->getStep(), 1);
    QTest::keyClick(to->grid(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(to->getStep(), 4);

    QGuiApplication::clipboard()->clear();
    QVERIFY(!f.item("mnuEditPaste")->isEnabled());
    // An empty program takes steps too, though its Edit menu is off.
    QGuiApplication::clipboard()->setText(text);
    QVERIFY(f.item("mnuEditPaste")->isEnabled());
    FrmProg *empty = f.main->makeNewForm(2);
    QVERIFY(!f.item("mnuEdit")->isEnabled());
    QTest::keyClick(empty->grid(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(empty->document()->stepsText({1, 2, 3}), text);
}

namespace {

// The Window menu's document entries as they are shown when it opens.
QStringList windowEntries(AppFixture &f, QList<QAction *> *entries = nullptr)
{
    QMenu *menu = f.main->findChild<QMenu *>(QStringLiteral("mnuWindow"));
    emit menu->aboutToShow();
    QStringList texts;
    for (QAction *a : menu->actions()) {
        if (!a->objectName().startsWith(QLatin1String("mnuWindowDoc")))
            continue;
        texts << a->text() + (a->isChecked() ? QStringLiteral(" *") : QString());
        if (entries)
            *entries << a;
    }
    return texts;
}

// The colour of a selected cell of the grid as it is drawn.
QRgb selectedColour(FrmProg *form)
{
    ProgGrid *grid = form->grid();
    const QRect cell = grid->visualRect(grid->currentIndex().siblingAtColumn(grid->currentIndex().column() + 1));
    return grid->viewport()->grab().toImage().pixel(cell.topLeft() + QPoint(2, 2));
}

} // namespace

void TestDocuments::windowMenu()
{
    AppFixture f(2);
    const QList<QAction *> bar = f.main->menuBar()->actions();
    QCOMPARE(bar.indexOf(f.item("mnuWindow")), bar.indexOf(f.item("mnuComm")) + 1);
    QVERIFY(!f.item("mnuWindow")->isEnabled());
    const clsIniFile &lang = f.app.context().run.langIni;
    QCOMPARE(f.item("mnuWindowTile")->text(), lang.GetINIStr("MDIFormMain", "Cap042"));

    FrmProg *one = f.main->makeNewForm(2);
    FrmProg *two = f.main->makeNewForm(2);
    f.main->makeNewForm(2);
    QVERIFY(f.item("mnuWindow")->isEnabled());
    QList<QAction *> entries;
    QCOMPARE(windowEntries(f, &entries),
             QStringList({"&1 Program1", "&2 Program2", "&3 Program3 *"}));
    entries.at(1)->trigger();
    QCOMPARE(f.main->activeForm(), two);

    // Only the active document shows its selection in the active colours.
    const QPalette pal = one->grid()->palette();
    QVERIFY(pal.color(QPalette::Inactive, QPalette::Highlight) != pal.color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(selectedColour(two), pal.color(QPalette::Active, QPalette::Highlight).rgb());
    QCOMPARE(selectedColour(one), pal.color(QPalette::Inactive, QPalette::Highlight).rgb());

    QVERIFY(two->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(windowEntries(f).size(), 2);
    f.item("mnuWindowTile")->trigger();
    QVERIFY(!one->geometry().intersects(f.main->activeForm()->geometry()));
}

void TestDocuments::nextAndPrevious_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("next") << "mnuWindowNext" << 0 << 1;
    QTest::newRow("next wraps") << "mnuWindowNext" << 2 << 0;
    QTest::newRow("previous") << "mnuWindowPrevious" << 2 << 1;
    QTest::newRow("previous wraps") << "mnuWindowPrevious" << 0 << 2;
}

void TestDocuments::nextAndPrevious()
{
    QFETCH(QString, item);
    QFETCH(int, from);
    QFETCH(int, to);
    AppFixture f(1);
    const QList<FrmProg *> forms = {f.main->makeNewForm(1), f.main->makeNewForm(1), f.main->makeNewForm(1)};
    f.main->mdiArea()->setActiveSubWindow(forms.at(from));
    f.main->item(item)->trigger();
    QCOMPARE(f.main->activeForm(), forms.at(to));
}

void TestDocuments::newWindowsInsideArea()
{
    AppFixture f(3);
    const QRect area = f.main->mdiArea()->viewport()->rect();
    QList<QPoint> corners;
    for (int i = 0; i < 3; ++i) {
        FrmProg *form = f.main->makeNewForm(3);
        QVERIFY2(area.contains(form->geometry()), qPrintable(QString::number(i + 1)));
        // None hides another one exactly.
        QVERIFY(!corners.contains(form->pos()));
        corners << form->pos();
    }
}

void TestDocuments::focusSwitchKey()
{
    AppFixture f(2);
    FrmProg *form = f.main->makeNewForm(2);
    QVERIFY(QTest::qWaitForWindowActive(f.main));
    form->grid()->setFocus();
    QTest::keyClick(form->grid(), Qt::Key_F6);
    QTRY_COMPARE(QApplication::focusWidget(), f.main->commandTable()->list());
    QTest::keyClick(f.main->commandTable()->list(), Qt::Key_F6);
    QTRY_COMPARE(QApplication::focusWidget(), form->grid());
}

void TestDocuments::tabKeys_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("axis");
    QTest::addColumn<bool>("back");
    QTest::addColumn<int>("toRow");
    QTest::addColumn<int>("toAxis");
    // Row -1 is the last step.
    QTest::newRow("next axis") << 3 << 4 << 1 << false << 4 << 2;
    QTest::newRow("past the last axis") << 3 << 4 << 3 << false << 5 << 1;
    QTest::newRow("previous axis") << 2 << 4 << 2 << true << 4 << 1;
    QTest::newRow("before the first axis") << 3 << 4 << 1 << true << 3 << 3;
    QTest::newRow("one axis") << 1 << 4 << 1 << false << 5 << 1;
    QTest::newRow("stays at the end") << 2 << -1 << 2 << false << -1 << 2;
    QTest::newRow("stays at the start") << 2 << 1 << 1 << true << 1 << 1;
}

void TestDocuments::tabKeys()
{
    QFETCH(int, axes);
    QFETCH(int, row);
    QFETCH(int, axis);
    QFETCH(bool, back);
    QFETCH(int, toRow);
    QFETCH(int, toAxis);
    AppFixture f(axes);
    FrmProg *form = f.main->makeNewForm(axes);
    const int last = form->document()->maxStep();
    form->grid()->setFocus();
    form->selectCell(row < 0 ? last : row, ProgramDocument::textColumn(axis));
    QTest::keyClick(form->grid(), Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(form->currentRow(), toRow < 0 ? last : toRow);
    const int icon = ProgramDocument::iconColumn(toAxis);
    QCOMPARE(selectedColumns(form), QList<int>({icon, icon + 1}));
}

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
