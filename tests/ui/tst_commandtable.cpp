#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/ProgramDocument.h"
#include "support/AppFixture.h"
#include "support/ScriptedDataEntry.h"
#include "ui/CommandDrag.h"
#include "ui/CommandIcons.h"
#include "ui/FrmCmd.h"
#include "ui/FrmProg.h"
#include "ui/ProgGrid.h"
#include "ui/dlgData.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Runs `act` on the data entry dialog as soon as it is open (queued before
// the trigger that opens it); a dialog still open after five seconds is
// closed so that a failing test cannot hang.
void whenDialogOpens(QObject *context, std::function<void(dlgData *)> act)
{
    auto *poll = new QTimer(context);
    poll->setInterval(5);
    int tries = 0;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act, tries]() mutable {
        auto *dialog = qobject_cast<dlgData *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++tries > 1000)
                poll->deleteLater();
            return;
        }
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(5000, dialog, [dialog] { dialog->reject(); });
        act(dialog);
    });
    poll->start();
}

void press(dlgData *dialog, const char *button)
{
    dialog->findChild<QPushButton *>(QLatin1String(button))->click();
}

void dropOnCell(FrmProg *form, int row, int column, const QString &text)
{
    ProgGrid *grid = form->grid();
    const QModelIndex index = form->document()->index(row, column);
    grid->scrollTo(index);
    QMimeData mime;
    mime.setText(text);
    const QPoint pos = grid->visualRect(index).center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &enter);
    QDropEvent drop(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &drop);
}

QStringList shown(const dlgData *dialog)
{
    QStringList values;
    for (int i = 1; i <= dlgData::kFields; ++i) {
        if (!dialog->field(i)->isHidden())
            values << dialog->field(i)->text();
    }
    return values;
}

} // namespace

class TestCommandTable : public QObject
{
    Q_OBJECT

private slots:
    void keyboardPlaces_data();
    void keyboardPlaces();
    void paletteFollowsDocuments();
    void dragCarriesName();
    void doubleClickWithoutDocument();
    void doubleClickOpensDialogWithDefaults();
    void dropAndConfirmFillsGap();
    void cancelLeavesDocumentUnchanged();
    void wrongValueShowsMessageAndFocus_data();
    void wrongValueShowsMessageAndFocus();
    void normalisedValuesWritten();
    void commandWithoutParameters();
    void cellWithTooFewValues();
    void bgoIgnoredWithOneAxis();
};

void TestCommandTable::paletteFollowsDocuments()
{
    AppFixture f(3);
    QVERIFY(!f.main->commandTable());
    f.item("mnuFileNew")->trigger();
    FrmCmd *palette = f.main->commandTable();
    QVERIFY(palette && palette->isVisible());
    QVERIFY(palette->windowFlags() & Qt::Tool);
    QVERIFY(palette->windowFlags() & Qt::WindowStaysOnTopHint);
    const clsIniFile &lang = f.app.context().run.langIni;
    QCOMPARE(palette->windowTitle(), lang.GetINIStr("FrmCmd", "Title001"));

    // Item n is command n, with its icon.
    const Catalogue &catalogue = f.app.context().catalogue;
    QCOMPARE(palette->list()->count(), 17);
    for (int cmd = 1; cmd <= 17; ++cmd) {
        QCOMPARE(palette->list()->item(cmd - 1)->text(), catalogue.name(cmd));
        QVERIFY(!palette->list()->item(cmd - 1)->icon().isNull());
    }
    // At the right edge of the screen, 3000 twips wide and at most 9300
    // high, below the main window's title bar and menu bar.
    const QRect screen = palette->screen()->availableGeometry();
    QCOMPARE(palette->x() + palette->width(), screen.right() + 1);
    QCOMPARE(palette->width(), qRound(3000.0 * palette->logicalDpiX() / 1440.0));
    QVERIFY(palette->height() <= qRound(9300.0 * palette->logicalDpiY() / 1440.0));
    QVERIFY(palette->geometry().bottom() <= screen.bottom());
    const QRect menuBar(f.main->menuBar()->mapToGlobal(QPoint(0, 0)), f.main->menuBar()->size());
    QVERIFY(!palette->frameGeometry().intersects(menuBar));
    QVERIFY(palette->y() >= f.main->centralWidget()->mapToGlobal(QPoint(0, 0)).y());

    // Closing it clears the menu's check mark; the menu shows it again.
    QVERIFY(palette->close());
    QVERIFY(!palette->isVisible());
    QVERIFY(!f.item("mnuDispCmd")->isChecked());
    f.item("mnuDispCmd")->trigger();
    QVERIFY(palette->isVisible());
    QVERIFY(f.item("mnuDispCmd")->isChecked());

    // The grids keep their icons while the palette is closed.
    f.item("mnuDispCmd")->trigger();
    QVERIFY(!palette->isVisible());
    QVERIFY(!f.main->commandIcons().pixmap(5).isNull());
}

void TestCommandTable::dragCarriesName()
{
    AppFixture f(2);
    f.main->makeNewForm(2);
    LstCmd *list = f.main->commandTable()->list();
    std::unique_ptr<QMimeData> mime(list->mimeData({list->item(5)}));
    QCOMPARE(mime->text(), f.app.context().catalogue.name(Catalogue::D));
    // The number travels too, so a grid never has to find the command by
    // a name the language file may give twice.
    QCOMPARE(CommandDrag::commandOf(mime.get(), f.app.context().catalogue), int(Catalogue::D));
    QVERIFY(list->item(5)->flags() & Qt::ItemIsDragEnabled);
    QVERIFY(!(list->item(5)->flags() & Qt::ItemIsEditable));
}

void TestCommandTable::doubleClickWithoutDocument()
{
    AppFixture f(2);
    FrmProg *form = f.main->makeNewForm(2);
    FrmCmd *palette = f.main->commandTable();
    QVERIFY(form->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (auto *w = QApplication::activeModalWidget()) {
            opened = true;
            w->close();
        }
    });
    emit palette->list()->itemDoubleClicked(palette->list()->item(0));
    QCoreApplication::processEvents();
    QVERIFY(!opened);
}

void TestCommandTable::doubleClickOpensDialogWithDefaults()
{
    AppFixture f(3);
    FrmProg *form = f.main->makeNewForm(3);
    form->selectCell(4, ProgramDocument::textColumn(2));
    LstCmd *list = f.main->commandTable()->list();
    const clsIniFile &lang = f.app.context().run.langIni;
    const Catalogue &catalogue = f.app.context().catalogue;

    QStringList values;
    QString step, heading, name;
    whenDialogOpens(f.main, [&](dlgData *dialog) {
        values = shown(dialog);
        auto *summary = dialog->findChild<QTableWidget *>("grdData");
        step = summary->item(1, 0)->text();
        heading = summary->item(0, 1)->text();
        name = summary->item(1, 2)->text();
        // The range, then the unit.
        QCOMPARE(dialog->findChild<QLabel *>("lblUnit1")->text(), QStringLiteral("10 \u2026 600000 [pps]"));
        QCOMPARE(dialog->windowTitle(), lang.GetINIStr("dlgData", "Title001"));
        press(dialog, "OKButton");
    });
    // The list reports a double click on an item, never on its empty area.
    emit list->itemDoubleClicked(list->item(Catalogue::D - 1));

    QCOMPARE(values, QStringList({"10", "10", "1"}));
    QCOMPARE(step, QStringLiteral("003"));
    QCOMPARE(heading, lang.GetINIStr("dlgData", "Mes003"));
    QCOMPARE(name, catalogue.name(Catalogue::D));
    QCOMPARE(form->getProgCell(2, 4), QStringList({"6", "10", "10", "1"}));
    QCOMPARE(form->getStep(), 4);
    QCOMPARE(form->getProgCell(1, 1), QStringList({"10"})); // gap filled

}

void TestCommandTable::dropAndConfirmFillsGap()
{
    AppFixture f(2);
    FrmProg *form = f.main->makeNewForm(2);
    whenDialogOpens(f.main, [](dlgData *dialog) { press(dialog, "OKButton"); });
    dropOnCell(form, 10, ProgramDocument::textColumn(1), f.app.context().catalogue.name(Catalogue::D));
    for (int row = 1; row <= 9; ++row) {
        QCOMPARE(form->getProgCell(1, row), QStringList({"10"}));
        QCOMPARE(form->getProgCell(2, row), QStringList({"10"}));
    }
    QCOMPARE(form->getProgCell(1, 10), QStringList({"6", "10", "10", "1"}));
    QCOMPARE(form->getProgCell(2, 10), QStringList({"10"}));
    QCOMPARE(form->getStep(), 10);
    QVERIFY(form->getDirty());
}

void TestCommandTable::cancelLeavesDocumentUnchanged()
{
    AppFixture f(2);
    FrmProg *form = f.main->makeNewForm(2);
    whenDialogOpens(f.main, [](dlgData *dialog) {
        dialog->field(1)->setText(QStringLiteral("500"));
        press(dialog, "CancelButton");
    });
    dropOnCell(form, 10, ProgramDocument::textColumn(1), f.app.context().catalogue.name(Catalogue::D));
    QCOMPARE(form->getStep(), 0);
    QCOMPARE(form->getProgCell(1, 10), QStringList({""}));
    QCOMPARE(form->getProgCell(1, 1), QStringList({""}));
    QVERIFY(!form->getDirty());
    QCOMPARE(form->windowTitle(), QStringLiteral("Program1"));
}

void TestCommandTable::wrongValueShowsMessageAndFocus_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<int>("message"); // message number, by its key
    QTest::addColumn<QString>("argumentKey"); // "label N" or a dlgData key
    QTest::addColumn<int>("field");

    QTest::newRow("D: first speed above the second")
        << int(Catalogue::D) << QStringList{"600000", "10", "1"} << 17 << "dlgData/Mes006" << 1;
    QTest::newRow("D: time out of range")
        << int(Catalogue::D) << QStringList{"10", "10", "1001"} << 17 << "label 3" << 3;
    QTest::newRow("W: empty") << int(Catalogue::W) << QStringList{""} << 17 << "label 1" << 1;
    QTest::newRow("W: decimal") << int(Catalogue::W) << QStringList{"1.5"} << 17 << "label 1" << 1;
    QTest::newRow("P: read-only parameter")
        << int(Catalogue::P) << QStringList{"19", "0"} << 19 << "label 1" << 1;
    QTest::newRow("P: 22 between 0 and 100")
        << int(Catalogue::P) << QStringList{"22", "50"} << 17 << "label 2" << 2;
    QTest::newRow("#: 46 characters")
        << int(Catalogue::Label) << QStringList{QString(46, u'x')} << 17 << "label 1" << 1;
    QTest::newRow("#: double-byte")
        << int(Catalogue::Label) << QStringList{QString::fromUtf16(u"原点")} << 17 << "label 1" << 1;
    QTest::newRow("#: comma") << int(Catalogue::Label) << QStringList{"a,b"} << 17 << "label 1" << 1;
    QTest::newRow("U02: lower-case letter")
        << int(Catalogue::U02) << QStringList{"a", "0", "5"} << 17 << "label 1" << 1;
}

void TestCommandTable::wrongValueShowsMessageAndFocus()
{
    QFETCH(int, cmd);
    QFETCH(QStringList, typed);
    QFETCH(int, message);
    QFETCH(QString, argumentKey);
    QFETCH(int, field);

    AppFixture f(1);
    FrmProg *form = f.main->makeNewForm(1);
    const Catalogue &catalogue = f.app.context().catalogue;
    const clsIniFile &lang = f.app.context().run.langIni;
    const QString argument = argumentKey.startsWith("label ")
        ? catalogue.list(cmd, Catalogue::Captions).value(argumentKey.mid(6).toInt() - 1)
        : lang.GetINIStr("dlgData", argumentKey.mid(8));
    const QString keyText = lang.GetINIStr("MsgBox", message == 19 ? "Mes050" : "Mes019");

    bool stillOpen = false;
    QString focusedName; // read while the dialog lives; it is gone afterwards
    whenDialogOpens(f.main, [&](dlgData *dialog) {
        for (int i = 0; i < typed.size(); ++i)
            dialog->field(i + 1)->setText(typed[i]);
        press(dialog, "OKButton");
        stillOpen = dialog->isVisible();
        if (QWidget *focused = dialog->focusWidget())
            focusedName = focused->objectName();
        QTimer::singleShot(0, dialog, [dialog] { press(dialog, "CancelButton"); });
    });
    QStringList defaults{QString::number(cmd)};
    catalogue.getDefaultParams(cmd, defaults);
    form->putAndFill(1, 1, cmd, defaults);

    QVERIFY(stillOpen);
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(f.presenter.shown[0].text, argument + keyText);
    QCOMPARE(f.presenter.shown[0].kind, MsgKind::Error);
    QCOMPARE(focusedName, QStringLiteral("txtData%1").arg(field));
    QCOMPARE(form->getStep(), 0); // cancelled in the end
}

void TestCommandTable::normalisedValuesWritten()
{
    AppFixture f(2);
    FrmProg *form = f.main->makeNewForm(2);
    whenDialogOpens(f.main, [](dlgData *dialog) {
        dialog->field(1)->setText(QStringLiteral(" B"));
        dialog->field(2)->setText(QStringLiteral("-0"));
        dialog->field(3)->setText(QStringLiteral(" 007"));
        press(dialog, "OKButton");
    });
    form->putAndFill(1, 1, Catalogue::U02, {"12", "A", "0", "0"});
    QCOMPARE(form->getProgCell(1, 1), QStringList({"12", "B", "0", "7"}));
    QCOMPARE(form->getProgCell(2, 1), QStringList({"12", "B", "0", "7"}));
    QCOMPARE(form->getSendStep(1), QStringLiteral("U02:B,0,07"));
}

void TestCommandTable::commandWithoutParameters()
{
    AppFixture f(1);
    FrmProg *form = f.main->makeNewForm(1);
    bool frameHidden = false;
    whenDialogOpens(f.main, [&](dlgData *dialog) {
        frameHidden = dialog->findChild<QGroupBox *>("fraData")->isHidden();
        press(dialog, "OKButton");
    });
    form->putAndFill(1, 1, Catalogue::H, {"4"});
    QVERIFY(frameHidden);
    QCOMPARE(form->getProgCell(1, 1), QStringList({"4"}));
    QVERIFY(f.presenter.shown.isEmpty());
}

void TestCommandTable::cellWithTooFewValues()
{
    AppFixture f(1);
    dlgData dialog(f.app.context().catalogue, f.app.context().run.langIni, f.app.context().messages,
                   f.main->commandIcons(), f.main);
    QStringList values;
    QTimer::singleShot(0, &dialog, [&] {
        values = shown(&dialog);
        press(&dialog, "CancelButton");
    });
    QVERIFY(!dialog.dlgDataExe(1, 1, Catalogue::D, {"6", "100"}));
    QCOMPARE(values, QStringList({"100", "", ""}));
    // Message 3 for each missing value, naming the command.
    QCOMPARE(f.presenter.shown.size(), 2);
    QCOMPARE(f.presenter.shown[0].text,
             f.app.context().catalogue.name(Catalogue::D)
                 + f.app.context().run.langIni.GetINIStr("MsgBox", "Mes005"));
    QCOMPARE(f.presenter.shown[0].kind, MsgKind::Warning);
}

void TestCommandTable::bgoIgnoredWithOneAxis()
{
    AppFixture f(1);
    FrmProg *form = f.main->makeNewForm(1);
    LstCmd *list = f.main->commandTable()->list();
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (auto *w = QApplication::activeModalWidget()) {
            opened = true;
            w->close();
        }
    });
    emit list->itemDoubleClicked(list->item(Catalogue::BGO - 1));
    QCoreApplication::processEvents();
    QVERIFY(!opened);
    QCOMPARE(form->getStep(), 0);
}

void TestCommandTable::keyboardPlaces_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

// A command placed from the keyboard alone, as a double click places it.
void TestCommandTable::keyboardPlaces()
{
    QFETCH(int, key);
    AppFixture f(1);
    FrmProg *form = f.main->makeNewForm(1);
    f.main->setDataEntry(std::make_unique<ScriptedDataEntry>());
    LstCmd *list = f.main->commandTable()->list();
    list->setCurrentRow(Catalogue::H - 1);
    QTest::keyClick(list, Qt::Key(key));
    QCOMPARE(form->getProgCell(1, 1), QStringList({"4"}));
    QCOMPARE(form->getStep(), 1);
}

QTEST_MAIN(TestCommandTable)
#include "tst_commandtable.moc"
