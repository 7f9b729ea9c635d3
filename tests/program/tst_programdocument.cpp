#include "config/Messages.h"
#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "support/ScriptedDataEntry.h"
#include "support/ScriptedPresenter.h"
#include "support/ProgramLines.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Cells are written in tests as "MNEMONIC p1 p2 ..." for brevity.
struct Fixture
{
    Fixture(int axes, int maxStep = 200)
        : lang(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")), messages(lang, presenter),
          doc(catalogue(), lang, messages, maxStep)
    {
        doc.setAxis(axes);
        doc.setDocNo(1);
        doc.setFileName(QStringLiteral("Program1"));
    }

    static const Catalogue &catalogue() { return englishCatalogue(); }

    static int cmdOf(const QString &mnemonic)
    {
        for (int c = 1; c <= Catalogue::kCommandCount; ++c)
            if (catalogue().mnemonic(c) == mnemonic)
                return c;
        return 0;
    }

    // "AGO: 1000" -> cell data {"1", "1000"}; a label keeps the rest whole.
    static QStringList data(const QString &text)
    {
        if (text.startsWith(QStringLiteral("#:")))
            return {QString::number(Catalogue::Label), text.mid(3)};
        QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
        parts[0] = QString::number(cmdOf(parts[0]));
        return parts;
    }

    static ProgCell cellOf(const QString &text) { return ProgCell::fromData(data(text)); }

    void put(int axis, int row, const QString &text)
    {
        const QStringList d = data(text);
        QVERIFY(doc.bPutProgCell(axis, row, d[0].toInt(), d));
    }

    // Fills a whole step with the given cells, one per axis, and counts it.
    void step(int row, const QStringList &cells)
    {
        for (int a = 0; a < cells.size(); ++a)
            put(a + 1, row, cells[a]);
        if (doc.getStep() < row)
            doc.setStep(row);
    }

    // The cell back in the same short form.
    QString cell(int axis, int row) const
    {
        const QStringList d = doc.getProgCell(axis, row);
        if (d.first().isEmpty())
            return QString();
        QStringList out{catalogue().mnemonic(d.first().toInt())};
        out += d.mid(1);
        return out.join(u' ');
    }

    clsIniFile lang;
    ScriptedPresenter presenter;
    Messages messages;
    ProgramDocument doc;
    ScriptedDataEntry entry;
};

} // namespace

class TestProgramDocument : public QObject
{
    Q_OBJECT

private slots:
    void codec();
    void refusedCellChangesNothing();
    void decodeResizesToParamCount();
    void editRules_data();
    void editRules();
    void editOpensDialogWithCell();
    void cancelLeavesDocumentUnchanged();
    void bgoIgnoredWithOneAxis();
    void putAndFillFillsGap();
    void insertStep();
    void insertIntoFullProgram();
    void insertAndDeleteAfterLastStep();
    void deleteOnlyStep();
    void bulkChangesSignalOnce();
    void wholeStepsInAndOut();
    void fileNameAndDirtyMark();
    void sendText_data();
    void sendText();
    void tooltipOfLabel();
    void headersAndStepNumbers();
    void undoRoundTrips_data();
    void undoRoundTrips();
    void clipboardText_data();
    void clipboardText();
    void refusedPastes_data();
    void refusedPastes();
};

void TestProgramDocument::codec()
{
    Fixture f(2);
    const QString speed = Fixture::catalogue().name(Catalogue::D);
    QVERIFY(f.doc.bPutProgCell(1, 1, Catalogue::D, {"6", " 1000", "5000 ", " 100 ", "surplus"}));
    const QModelIndex text = f.doc.index(1, ProgramDocument::textColumn(1));
    QCOMPARE(text.data(ProgramDocument::CellTextRole).toString(), speed + "\r1000,5000,100");
    QCOMPARE(text.data(Qt::DisplayRole).toString(), speed + "\n1000,5000,100");
    QCOMPARE(f.doc.index(1, ProgramDocument::iconColumn(1)).data(ProgramDocument::CommandRole).toInt(),
             int(Catalogue::D));
    QCOMPARE(f.doc.getProgCell(1, 1), QStringList({"6", "1000", "5000", "100"}));

    // No parameters: the name alone, no carriage return.
    QVERIFY(f.doc.bPutProgCell(2, 1, Catalogue::H, {"4"}));
    QCOMPARE(f.doc.index(1, ProgramDocument::textColumn(2)).data(ProgramDocument::CellTextRole).toString(),
             Fixture::catalogue().name(Catalogue::H));
    QCOMPARE(f.doc.getProgCell(2, 1), QStringList({"4"}));

    // Empty cell.
    QCOMPARE(f.doc.getProgCell(1, 2), QStringList({""}));
    // Out of the grid: treated as empty, never a crash.
    QCOMPARE(f.doc.getProgCell(3, 1), QStringList({""}));
    QVERIFY(!f.doc.bPutProgCell(1, 201, Catalogue::H, {"4"}));
}

void TestProgramDocument::refusedCellChangesNothing()
{
    Fixture f(1);
    f.put(1, 1, "AGO: 5");
    // D: needs three parameters; neither the icon nor the text may change.
    QVERIFY(!f.doc.bPutProgCell(1, 1, Catalogue::D, {"6", "10", "20"}));
    QCOMPARE(f.cell(1, 1), QStringLiteral("AGO: 5"));
    QCOMPARE(f.doc.index(1, 1).data(ProgramDocument::CommandRole).toInt(), int(Catalogue::AGO));
}

void TestProgramDocument::decodeResizesToParamCount()
{
    Fixture f(1);
    f.put(1, 1, "#: a, b");
    // A cell keeps its parameters whole: a label holding "," reads back as
    // it was put.
    QCOMPARE(f.doc.getProgCell(1, 1), QStringList({"17", "a, b"}));
    // Missing parameter pieces come back empty, surplus ones are dropped.
    QVERIFY(f.doc.bPutProgCell(1, 3, Catalogue::C, {"8", "1", "", "", ""}));
    QCOMPARE(f.doc.getProgCell(1, 3), QStringList({"8", "1", "", "", ""}));
}

void TestProgramDocument::editRules_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<QStringList>("before"); // the step's cells; "" = empty
    QTest::addColumn<int>("axis");
    QTest::addColumn<QString>("placed");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("into an empty step: other axes get U00:")
        << 3 << QStringList{"", "", ""} << 2 << "R: 5" << QStringList{"U00:", "R: 5", "U00:"};
    QTest::newRow("U01: fills every axis with its parameter")
        << 3 << QStringList{"AGO: 1", "", "R: 2"} << 2 << "U01: 5"
        << QStringList{"U01: 5", "U01: 5", "U01: 5"};
    QTest::newRow("#: fills every axis")
        << 2 << QStringList{"H:", "H:"} << 1 << "#: hello" << QStringList{"#: hello", "#: hello"};
    QTest::newRow("R: beside AGO: turns it into U00:")
        << 2 << QStringList{"", "AGO: 7"} << 1 << "R: 3" << QStringList{"R: 3", "U00:"};
    QTest::newRow("AGO: beside AGO: keeps it")
        << 2 << QStringList{"", "AGO: 7"} << 1 << "AGO: 3" << QStringList{"AGO: 3", "AGO: 7"};
    QTest::newRow("AGO: beside R: turns it into U00:")
        << 3 << QStringList{"", "R: 7", "U00:"} << 1 << "AGO: 3"
        << QStringList{"AGO: 3", "U00:", "U00:"};
    QTest::newRow("BGO: beside AGO: turns it into U00:")
        << 2 << QStringList{"", "AGO: 7"} << 1 << "BGO: 3" << QStringList{"BGO: 3", "U00:"};
    QTest::newRow("R: beside R: keeps it")
        << 3 << QStringList{"H:", "R: 7", "W: 2"} << 1 << "R: 3" << QStringList{"R: 3", "R: 7", "W: 2"};
    QTest::newRow("per-axis command into a #: step clears the others")
        << 3 << QStringList{"#: x", "#: x", "#: x"} << 2 << "H:" << QStringList{"U00:", "H:", "U00:"};
    QTest::newRow("per-axis command over a U01: in its own axis clears the others")
        << 2 << QStringList{"U01: 3", "U01: 3"} << 1 << "H:" << QStringList{"H:", "U00:"};
    QTest::newRow("U00: beside AGO: keeps it")
        << 2 << QStringList{"", "AGO: 7"} << 1 << "U00:" << QStringList{"U00:", "AGO: 7"};
    QTest::newRow("one axis") << 1 << QStringList{""} << 1 << "W: 10" << QStringList{"W: 10"};
}

void TestProgramDocument::editRules()
{
    QFETCH(int, axes);
    QFETCH(QStringList, before);
    QFETCH(int, axis);
    QFETCH(QString, placed);
    QFETCH(QStringList, after);

    Fixture f(axes);
    f.step(1, {"H:"}); // an earlier step, so that the edited step is in use
    for (int a = 0; a < before.size(); ++a)
        if (!before[a].isEmpty())
            f.put(a + 1, 2, before[a]);
    f.doc.setStep(2);
    f.doc.setDirty(false);

    const QStringList d = Fixture::data(placed);
    QVERIFY(f.doc.editCell(axis, 2, d[0].toInt(), d, f.entry));
    for (int a = 0; a < after.size(); ++a)
        QCOMPARE(f.cell(a + 1, 2), after[a]);
    QVERIFY(f.doc.getDirty());
    QCOMPARE(f.doc.getStep(), 2);
}

void TestProgramDocument::editOpensDialogWithCell()
{
    Fixture f(3);
    f.entry.reply = {"6", "100", "5000", "200"};
    QVERIFY(f.doc.editCell(3, 7, Catalogue::D, {"6", "10", "10", "1"}, f.entry));
    QCOMPARE(f.entry.calls.size(), 1);
    QCOMPARE(f.entry.calls[0].axis, 3);
    QCOMPARE(f.entry.calls[0].step, 7);
    QCOMPARE(f.entry.calls[0].cmd, int(Catalogue::D));
    QCOMPARE(f.entry.calls[0].data, QStringList({"6", "10", "10", "1"}));
    // The dialog's values are written, not the ones given.
    QCOMPARE(f.cell(3, 7), QStringLiteral("D: 100 5000 200"));
    QCOMPARE(f.doc.getStep(), 7);
}

void TestProgramDocument::cancelLeavesDocumentUnchanged()
{
    Fixture f(2);
    f.step(1, {"H:", "H:"});
    f.doc.setDirty(false);
    f.entry.confirm = false;
    QVERIFY(!f.doc.putAndFill(1, 10, Catalogue::D, {"6", "10", "10", "1"}, f.entry));
    QCOMPARE(f.doc.getStep(), 1);
    QCOMPARE(f.cell(1, 10), QString());
    QCOMPARE(f.cell(1, 5), QString()); // no gap filled
    QVERIFY(!f.doc.getDirty());
}

void TestProgramDocument::bgoIgnoredWithOneAxis()
{
    Fixture f(1);
    QVERIFY(!f.doc.putAndFill(1, 1, Catalogue::BGO, {"2", "0"}, f.entry));
    QVERIFY(f.entry.calls.isEmpty());
    QCOMPARE(f.doc.getStep(), 0);
}

void TestProgramDocument::putAndFillFillsGap()
{
    Fixture f(2);
    QVERIFY(f.doc.putAndFill(2, 10, Catalogue::D, {"6", "10", "10", "1"}, f.entry));
    QCOMPARE(f.doc.getStep(), 10);
    for (int row = 1; row <= 9; ++row) {
        QCOMPARE(f.cell(1, row), QStringLiteral("U00:"));
        QCOMPARE(f.cell(2, row), QStringLiteral("U00:"));
    }
    QCOMPARE(f.cell(1, 10), QStringLiteral("U00:"));
    QCOMPARE(f.cell(2, 10), QStringLiteral("D: 10 10 1"));
    QCOMPARE(f.cell(1, 11), QString());

    // Within the program nothing else is filled.
    QVERIFY(f.doc.putAndFill(1, 3, Catalogue::H, {"4"}, f.entry));
    QCOMPARE(f.doc.getStep(), 10);
    QCOMPARE(f.cell(1, 3), QStringLiteral("H:"));
}

void TestProgramDocument::insertStep()
{
    Fixture f(2, 100);
    for (int row = 1; row <= 99; ++row)
        f.step(row, {QStringLiteral("AGO: %1").arg(row), QStringLiteral("R: %1").arg(row)});
    QSignalSpy steps(&f.doc, &ProgramDocument::stepCountChanged);
    QVERIFY(f.doc.insertStep(1));
    QCOMPARE(f.doc.getStep(), 100);
    QCOMPARE(steps.count(), 1);
    QCOMPARE(f.cell(1, 1), QStringLiteral("U00:"));
    QCOMPARE(f.cell(2, 1), QStringLiteral("U00:"));
    QCOMPARE(f.cell(1, 2), QStringLiteral("AGO: 1"));
    QCOMPARE(f.cell(2, 100), QStringLiteral("R: 99"));
    QCOMPARE(f.doc.index(100, 1).data(ProgramDocument::CommandRole).toInt(), int(Catalogue::AGO));
    QVERIFY(f.doc.getDirty());
    QVERIFY(f.presenter.shown.isEmpty());
}

void TestProgramDocument::insertIntoFullProgram()
{
    Fixture f(1, 100);
    for (int row = 1; row <= 100; ++row)
        f.put(1, row, QStringLiteral("W: %1").arg(row));
    f.doc.setStep(100);
    f.doc.setDirty(false);
    QVERIFY(!f.doc.insertStep(5));
    QCOMPARE(f.presenter.shown.size(), 1);
    QCOMPARE(f.presenter.shown[0].text, f.lang.GetINIStr("MsgBox", "Mes003"));
    QCOMPARE(f.presenter.shown[0].kind, MsgKind::Error);
    QCOMPARE(f.cell(1, 5), QStringLiteral("W: 5"));
    QCOMPARE(f.doc.getStep(), 100);
    QVERIFY(!f.doc.getDirty());
}

void TestProgramDocument::insertAndDeleteAfterLastStep()
{
    Fixture f(1);
    f.step(1, {"H:"});
    f.step(2, {"W: 1"});
    f.doc.setDirty(false);
    QVERIFY(!f.doc.insertStep(3));
    QVERIFY(!f.doc.deleteStep(3));
    QCOMPARE(f.presenter.shown.size(), 2);
    for (const auto &shown : f.presenter.shown) {
        QCOMPARE(shown.text, f.lang.GetINIStr("MsgBox", "Mes004"));
        QCOMPARE(shown.kind, MsgKind::Warning);
    }
    QCOMPARE(f.doc.getStep(), 2);
    QVERIFY(!f.doc.getDirty());

    // At the last step itself both work.
    QVERIFY(f.doc.insertStep(2));
    QCOMPARE(f.cell(1, 2), QStringLiteral("U00:"));
    QCOMPARE(f.cell(1, 3), QStringLiteral("W: 1"));
    QVERIFY(f.doc.deleteStep(3));
    QCOMPARE(f.doc.getStep(), 2);
    QCOMPARE(f.cell(1, 3), QString());
}

void TestProgramDocument::deleteOnlyStep()
{
    Fixture f(3);
    f.step(1, {"AGO: 1", "AGO: 2", "AGO: 3"});
    QVERIFY(f.doc.deleteStep(1));
    QCOMPARE(f.doc.getStep(), 0);
    for (int a = 1; a <= 3; ++a) {
        QCOMPARE(f.cell(a, 1), QString());
        QCOMPARE(f.doc.index(1, ProgramDocument::iconColumn(a)).data(ProgramDocument::CommandRole).toInt(), 0);
    }
}

void TestProgramDocument::bulkChangesSignalOnce()
{
    Fixture f(3);
    for (int row = 1; row <= 50; ++row)
        f.step(row, {"H:", "H:", "H:"});
    QSignalSpy changed(&f.doc, &QAbstractItemModel::dataChanged);
    QVERIFY(f.doc.insertStep(1));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].value<QModelIndex>().row(), 1);
    QCOMPARE(changed[0][1].value<QModelIndex>().row(), 51);

    changed.clear();
    QVERIFY(f.doc.putAndFill(1, 120, Catalogue::H, {"4"}, f.entry));
    QCOMPARE(changed.count(), 2); // the edited step, then the gap
    changed.clear();
    QVERIFY(f.doc.deleteStep(1));
    QCOMPARE(changed.count(), 1);
}

void TestProgramDocument::wholeStepsInAndOut()
{
    Fixture f(2);
    const QList<ProgStep> steps{
        {f.cellOf("H:"), f.cellOf("D: 10 20 5")},
        {f.cellOf("U00:"), f.cellOf("W: 3")},
    };
    QSignalSpy changed(&f.doc, &QAbstractItemModel::dataChanged);
    QVERIFY(f.doc.putSteps(steps));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(f.doc.getStep(), 2);
    QCOMPARE(f.doc.steps(), steps);

    // A cell short of parameters stops there and leaves the step count.
    Fixture g(1);
    QVERIFY(!g.doc.putSteps({{g.cellOf("H:")}, {ProgCell{Catalogue::D, {"1"}}}}));
    QCOMPARE(g.doc.getStep(), 0);
    QCOMPARE(g.cell(1, 1), QStringLiteral("H:"));
    QCOMPARE(g.cell(1, 2), QString());
}

void TestProgramDocument::fileNameAndDirtyMark()
{
    Fixture f(1);
    QSignalSpy caption(&f.doc, &ProgramDocument::captionChanged);
    QCOMPARE(f.doc.caption(), QStringLiteral("Program1"));
    QCOMPARE(f.doc.getFileName(false), QStringLiteral("Program1"));
    f.doc.setDirty(true);
    f.doc.setDirty(true);
    QCOMPARE(f.doc.caption(), QStringLiteral("Program1*"));
    f.doc.setDirty(false);
    QCOMPARE(f.doc.caption(), QStringLiteral("Program1"));
    f.doc.setDirty(true);
    f.doc.setFileName(QStringLiteral("/home/user/progs/a.txt"));
    QCOMPARE(f.doc.caption(), QStringLiteral("a.txt")); // the mark goes, the flag stays
    QVERIFY(f.doc.getDirty());
    QCOMPARE(f.doc.getFileName(true), QStringLiteral("/home/user/progs/a.txt"));
    QCOMPARE(f.doc.getFileName(false), QStringLiteral("a.txt"));
    QCOMPARE(caption.last().first().toString(), QStringLiteral("a.txt"));
}

void TestProgramDocument::sendText_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QString>("expected");

    QTest::newRow("three AGO:") << 3 << QStringList{"AGO: 1000", "AGO: -500", "AGO: 0"}
                                << "AGO:A1000|AGO:B-500|AGO:C0";
    QTest::newRow("D: and U00:") << 2 << QStringList{"D: 1000 5000 100", "U00:"}
                                 << "D:A1000,5000,100|U00:";
    QTest::newRow("H: one axis") << 1 << QStringList{"H:"} << "H:A";
    QTest::newRow("U01: two digits") << 2 << QStringList{"U01: 5", "U01: 5"} << "U01:05";
    QTest::newRow("U02: letter, flag, two digits") << 2 << QStringList{"U02: A 1 7", "U02: A 1 7"}
                                                   << "U02:A,1,07";
    QTest::newRow("U03:") << 1 << QStringList{"U03: 3 100"} << "U03:03,100";
    QTest::newRow("U01: three-digit step") << 1 << QStringList{"U01: 150"} << "U01:150";
    QTest::newRow("#: text") << 2 << QStringList{"#: abc", "#: abc"} << "#:abc";
    QTest::newRow("#: empty text") << 1 << QStringList{"#: "} << "#:";
    QTest::newRow("U04: per axis") << 2 << QStringList{"U04:", "U04:"} << "U04:|U04:";
    QTest::newRow("P: signed eight digits, axis param")
        << 2 << QStringList{"U00:", "P: 11 -1234"} << "U00:|P:11B-00001234";
    QTest::newRow("P: positive signed eight digits")
        << 1 << QStringList{"P: 73 5"} << "P:73A+00000005";
    QTest::newRow("P: not an axis param") << 1 << QStringList{"P: 60 1"} << "P:60,1";
    QTest::newRow("P: two digits") << 1 << QStringList{"P: 4 5"} << "P:04A05";
    QTest::newRow("P: 22 three digits") << 1 << QStringList{"P: 22 5"} << "P:22A005";
    QTest::newRow("P: 90 two digits, not axis") << 1 << QStringList{"P: 90 7"} << "P:90,07";
    QTest::newRow("P: 53 digit code") << 1 << QStringList{"P: 53 1011"} << "P:53,1,0,1,1";
    QTest::newRow("P: 75 axis param") << 3 << QStringList{"U00:", "U00:", "P: 75 100"}
                                      << "U00:|U00:|P:75C100";
    QTest::newRow("S:, W:, C:") << 3 << QStringList{"S: 5", "W: 10", "C: 0 1 2 0"}
                                << "S:A05|W:10|C:0120";
    QTest::newRow("MGO: R: BGO:") << 3 << QStringList{"MGO: 1", "R: -2", "U99:"} << "MGO:A1|R:B-2|U99:";
}

void TestProgramDocument::sendText()
{
    QFETCH(int, axes);
    QFETCH(QStringList, cells);
    QFETCH(QString, expected);
    Fixture f(axes);
    f.step(1, cells);
    QCOMPARE(f.doc.getSendStep(1), expected);
    QCOMPARE(f.doc.getSendStep(2), QString()); // after the last step
}

void TestProgramDocument::tooltipOfLabel()
{
    Fixture f(2);
    f.step(1, {"#: start here", "#: start here"});
    f.step(2, {"AGO: 1", "U00:"});
    // Any column of the axis, the separator counting for the axis to its right.
    QCOMPARE(f.doc.index(1, 1).data(Qt::ToolTipRole).toString(), QStringLiteral("start here"));
    QCOMPARE(f.doc.index(1, 3).data(Qt::ToolTipRole).toString(), QStringLiteral("start here"));
    // Any other cell shows its whole text; an empty one nothing.
    QCOMPARE(f.doc.index(2, 2).data(Qt::ToolTipRole).toString(),
             f.catalogue().name(Catalogue::AGO) + QStringLiteral("\n1"));
    QCOMPARE(f.doc.index(3, 2).data(Qt::ToolTipRole).toString(), QString());
}

void TestProgramDocument::headersAndStepNumbers()
{
    Fixture one(1, 100);
    QCOMPARE(one.doc.columnCount(), 3);
    QCOMPARE(one.doc.rowCount(), 101);
    QCOMPARE(one.doc.index(1, 0).data().toString(), QStringLiteral("000"));
    QCOMPARE(one.doc.index(100, 0).data().toString(), QStringLiteral("099"));
    Fixture three(3);
    QCOMPARE(three.doc.columnCount(), 9);
    QCOMPARE(three.doc.index(200, 0).data().toString(), QStringLiteral("199"));
    const clsIniFile &lang = three.lang;
    QCOMPARE(three.doc.headerData(0, Qt::Horizontal).toString(), lang.GetINIStr("FrmProg", "Mes001"));
    QCOMPARE(three.doc.headerData(4, Qt::Horizontal).toString(), lang.GetINIStr("FrmProg", "Mes003"));
    QCOMPARE(three.doc.headerData(8, Qt::Horizontal).toString(),
             lang.GetINIStr("FrmProg", "Mes005") + "\n" + lang.GetINIStr("FrmProg", "Mes006"));
    QCOMPARE(three.doc.headerData(6, Qt::Horizontal).toString(), QString());
}

namespace {

QByteArray fileBytes(const Fixture &f)
{
    return ProgramFile::writeProgram(Fixture::catalogue(), f.doc.getAxis(), f.doc.steps());
}

// A three-axis program of five steps that the changes below work on.
void fiveSteps(Fixture &f)
{
    f.step(1, {"D: 10 20 5", "H:", "U00:"});
    f.step(2, {"#: a b", "#: a b", "#: a b"});
    f.step(3, {"AGO: 300", "AGO: -5", "U00:"});
    f.step(4, {"R: 1", "W: 4", "R: 2"});
    f.step(5, {"U00:", "U00:", "H:"});
    f.doc.setDirty(false);
}

struct Change
{
    const char *name;
    int keptRows; // rows the undo step holds, before and after together
    std::function<bool(ProgramDocument &, DataEntry &)> run;
};

const QList<Change> &changes()
{
    static const QList<Change> list{
        {"place into a step, other axes follow", 2,
         [](ProgramDocument &d, DataEntry &e) { return d.editCell(2, 3, Catalogue::R, {"7", "5"}, e); }},
        {"place past the end, gap filled", 4,
         [](ProgramDocument &d, DataEntry &e) { return d.putAndFill(1, 9, Catalogue::H, {"4"}, e); }},
        {"edit leaving the cell as it was", 0,
         [](ProgramDocument &d, DataEntry &e) { return d.editCell(2, 1, Catalogue::H, {"4"}, e); }},
        {"insert step", 1, [](ProgramDocument &d, DataEntry &) { return d.insertStep(2); }},
        {"delete first step", 1, [](ProgramDocument &d, DataEntry &) { return d.deleteStep(1); }},
        {"delete last step", 1, [](ProgramDocument &d, DataEntry &) { return d.deleteStep(5); }},
        {"paste steps", 2,
         [](ProgramDocument &d, DataEntry &) { return d.pasteSteps(2, "H:,H:,H:\r\nW:3,U00:,U00:\r\n"); }},
        {"paste steps after the end", 1, [](ProgramDocument &d, DataEntry &) { return d.pasteSteps(50, "H:,H:,H:"); }},
        {"paste a filling cell", 2, [](ProgramDocument &d, DataEntry &) { return d.pasteCell(2, 4, "U01:5\r\n"); }},
        {"paste a cell past the end", 3, [](ProgramDocument &d, DataEntry &) { return d.pasteCell(3, 8, "W:9"); }},
        {"cut steps 1, 3 and 5", 7, [](ProgramDocument &d, DataEntry &) { return d.deleteSteps({5, 1, 3}); }},
    };
    return list;
}

} // namespace

void TestProgramDocument::undoRoundTrips_data()
{
    QTest::addColumn<int>("change");
    for (int i = 0; i < changes().size(); ++i)
        QTest::newRow(changes().at(i).name) << i;
}

void TestProgramDocument::undoRoundTrips()
{
    QFETCH(int, change);
    Fixture f(3);
    fiveSteps(f);
    const QByteArray before = fileBytes(f);
    const auto gridBefore = f.doc.storedRows(1, f.doc.maxStep());
    const int stepsBefore = f.doc.getStep();

    const auto done = f.doc.recordChange([&] { return changes().at(change).run(f.doc, f.entry); });
    QVERIFY(done.has_value());
    const QByteArray after = fileBytes(f);
    const auto gridAfter = f.doc.storedRows(1, f.doc.maxStep());
    const int stepsAfter = f.doc.getStep();
    // Only the changed stretch is kept: rows that merely move are not.
    QCOMPARE(int(done->before.size() + done->after.size()) / 3, changes().at(change).keptRows);

    for (int round = 0; round < 2; ++round) {
        f.doc.applyChange(*done, true);
        QCOMPARE(fileBytes(f), before);
        QVERIFY(f.doc.storedRows(1, f.doc.maxStep()) == gridBefore); // icons and rows past the end too
        QCOMPARE(f.doc.getStep(), stepsBefore);
        f.doc.applyChange(*done, false);
        QCOMPARE(fileBytes(f), after);
        QVERIFY(f.doc.storedRows(1, f.doc.maxStep()) == gridAfter);
        QCOMPARE(f.doc.getStep(), stepsAfter);
    }

    // A refused edit is no change at all.
    QVERIFY(!f.doc.recordChange([&] { return f.doc.deleteStep(150); }).has_value());
}

void TestProgramDocument::clipboardText_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("text");
    QTest::newRow("two steps") << QList<int>{2, 3} << "#:a b,#:a b,#:a b\r\nAGO:300,AGO:-5,U00:\r\n";
    QTest::newRow("in program order, rows past the end left out")
        << QList<int>{4, 1, 9, 4} << "D:10:20:5,H:,U00:\r\nR:1,W:4,R:2\r\n";
}

void TestProgramDocument::clipboardText()
{
    QFETCH(QList<int>, rows);
    QFETCH(QString, text);
    Fixture f(3);
    fiveSteps(f);
    QCOMPARE(f.doc.stepsText(rows), text);

    // Back into another program, before its second step: the same steps.
    Fixture g(3);
    g.step(1, {"H:", "H:", "H:"});
    g.step(2, {"W: 1", "W: 2", "W: 3"});
    QVERIFY(g.doc.pasteSteps(2, text));
    QCOMPARE(g.doc.stepsText({1, 2, 3, 4, 5, 6}),
             "H:,H:,H:\r\n" + text + "W:1,W:2,W:3\r\n");
    QVERIFY(g.doc.getDirty());
    // Lone line feeds and blank lines, as text editors may leave them.
    Fixture h(3);
    QString foreign = text;
    QVERIFY(h.doc.pasteSteps(1, "\n" + foreign.replace("\r\n", "\n\n")));
    QCOMPARE(h.doc.stepsText({1, 2, 3}), text);
    QVERIFY(g.presenter.shown.isEmpty() && h.presenter.shown.isEmpty());
}

void TestProgramDocument::refusedPastes_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("ontoCell");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");

    QTest::newRow("unknown command on line 3")
        << 1 << 2 << false << "H:\r\n\r\nX:1\r\n" << "Mes056" << QStringList{"3"} << "no known command";
    QTest::newRow("cells short of the axes")
        << 3 << 2 << false << "H:,H:" << "Mes056" << QStringList{"1"} << "2 cells for 3 axes";
    QTest::newRow("no step") << 2 << 2 << false << " \r\n\r\n" << "Mes058" << QStringList{} << "";
    QTest::newRow("past 100 steps on one axis")
        << 1 << 99 << false << "H:\r\n\r\nW:1\r\n" << "Mes057" << QStringList{"100", "3"} << "";
    QTest::newRow("cell short of parameters")
        << 2 << 2 << true << "D:1" << "Mes056" << QStringList{"1"} << "needs 3 parameters";
    QTest::newRow("two cells onto one") << 2 << 2 << true << "H:\r\nW:2" << "Mes056" << QStringList{"2"} << "";
}

void TestProgramDocument::refusedPastes()
{
    QFETCH(int, axes);
    QFETCH(int, steps);
    QFETCH(bool, ontoCell);
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QStringList, args);
    QFETCH(QString, reason);

    Fixture f(axes, axes == 1 ? 100 : 200);
    for (int row = 1; row <= steps; ++row)
        f.step(row, QStringList(axes, QStringLiteral("W: %1").arg(row)));
    f.doc.setDirty(false);
    const QByteArray before = fileBytes(f);

    QVERIFY(!(ontoCell ? f.doc.pasteCell(1, 1, text) : f.doc.pasteSteps(1, text)));
    QCOMPARE(fileBytes(f), before);
    QCOMPARE(f.doc.getStep(), steps);
    QVERIFY(!f.doc.getDirty());
    QCOMPARE(f.presenter.shown.size(), 1);
    QString expected = f.lang.GetINIStr("MsgBox", key);
    for (const QString &arg : args)
        expected = expected.arg(arg);
    QVERIFY2(f.presenter.shown[0].text.startsWith(expected), qPrintable(f.presenter.shown[0].text));
    QVERIFY2(f.presenter.shown[0].text.contains(reason), qPrintable(f.presenter.shown[0].text));
}

QTEST_GUILESS_MAIN(TestProgramDocument)
#include "tst_programdocument.moc"
