#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/ProgramFile.h"
#include "program/ProgramProblems.h"
#include "support/ProgramLines.h"

#include <QtTest>

// The problems found in small programs, worked out by hand. Each program is
// given as the step lines of its file; each problem as
// "STEP AXIS KIND ARGS" (AXIS "-" for a problem of the whole step).
class TestProblems : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void problems_data();
    void problems();
    void texts_data();
    void texts();

private:
    QList<ProgStep> steps(int axes, const QStringList &lines) const;
    Catalogue m_catalogue;
};

void TestProblems::initTestCase()
{
    // The mnemonics and flags do not depend on the language file.
    m_catalogue.buildCatalogue(clsIniFile());
    m_catalogue.buildParamRanges();
}

QList<ProgStep> TestProblems::steps(int axes, const QStringList &lines) const
{
    return programSteps(m_catalogue, axes, lines);
}

void TestProblems::problems_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected");

    const QString d = QStringLiteral("D:100:5000:200");
    const QString d2 = d + u',' + d;
    auto row = [](const char *name, int axes, const QStringList &lines, const QStringList &expected) {
        QTest::newRow(name) << axes << lines << expected;
    };

    row("no steps", 1, {}, {});
    row("clean: speeds, moves, input jump, wait, backward loop, end", 2,
        {d2, "H:,H:", "AGO:1000,AGO:2000", "U02:B:1:5,U02:B:1:5", "W:10,U00:", "U03:1:5,U03:1:5",
         "U99:,U00:"},
        {});

    row("jump past the end, what it skips never runs", 1, {d, "U01:150", "AGO:5", "U99:"},
        {"001 A jump-past-end 150,003", "002 - never-runs 002,003"});
    row("loop past the end is not a forward loop too", 1, {d, "AGO:5", "U03:7:3"},
        {"002 A jump-past-end 007,002"});
    row("jump to the last step itself", 1, {"U01:2", "W:1", "U99:"}, {"001 - never-runs 001,001"});

    row("forward loop", 1, {d, "U03:3:4", "AGO:5", "U99:"}, {"001 A loop-not-backward 003"});
    row("loop onto its own step", 1, {d, "AGO:5", "U03:2:5", "U99:"}, {"002 A loop-not-backward 002"});

    row("input jump on axis C of two, and past the end", 2, {d2, "U02:C:1:99,U02:C:1:99", "U99:,U00:"},
        {"001 A jump-past-end 099,002", "001 A input-axis-missing C"});
    row("lower-case input axis of one", 1, {"U02:b:0:0", "U99:"}, {"000 A input-axis-missing B"});

    row("never runs after U99:", 1, {d, "AGO:5", "U99:", "W:1", "#:spare"}, {"003 - never-runs 003,004"});
    row("U99: in axis 2 ends the program", 2, {d2, "AGO:5,U99:", "W:1,W:1"}, {"002 - never-runs 002,002"});
    row("U99: beside a comment is not sent", 2, {"#:x,U99:", "U99:,U00:"}, {});
    row("never runs after an unconditional jump", 1, {d, "U01:4", "AGO:5", "R:5", "U99:"},
        {"002 - never-runs 002,003"});
    row("two separate runs", 1, {"U01:2", "W:1", "U01:4", "W:1", "U99:"},
        {"001 - never-runs 001,001", "003 - never-runs 003,003"});

    row("endless loop without motion", 1, {d, "AGO:5", "C:1:0:0:0", "U01:2"},
        {"002 - endless-idle-loop 002,003"});
    row("jump to itself", 1, {d, "U01:1"}, {"001 - endless-idle-loop 001"});
    row("endless loop with a wait", 1, {"C:1:0:0:0", "W:10", "U01:0"}, {});
    row("endless loop with a move", 1, {d, "R:100", "U01:1"}, {});
    row("endless loop polling an input", 1, {"C:1:0:0:0", "U02:A:1:0", "U01:0"}, {});
    row("idle loop left when its count runs out", 1, {"C:1:0:0:0", "U03:0:5", "U99:"}, {});
    row("idle counted loop inside an endless jump", 1, {"C:1:0:0:0", "U03:0:5", "U01:0"},
        {"000 - endless-idle-loop 000,001,002"});
    row("idle loop that never runs", 1, {"U99:", "U01:1"}, {"001 - never-runs 001,001"});

    row("move on the axis without D:", 2, {"D:100:5000:200,U00:", "AGO:5,AGO:6", "U99:,U00:"},
        {"001 B move-before-speed AGO:"});
    row("P: 8 and 10 set a speed, P: 11 does not", 3,
        {"P:8:100,P:10:50,P:11:5", "MGO:1,MGO:2,MGO:3", "U99:,U00:,U00:"},
        {"001 C move-before-speed MGO:"});
    row("only the first move of each axis", 2, {"H:,H:", "AGO:5,AGO:6", "U99:,U00:"},
        {"000 A move-before-speed H:", "000 B move-before-speed H:"});
    row("speed set after the move", 1, {"R:5", d, "R:5", "U99:"}, {"000 A move-before-speed R:"});
}

void TestProblems::problems()
{
    QFETCH(int, axes);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);

    QStringList found;
    for (const ProgramProblems::Problem &p : ProgramProblems::find(m_catalogue, axes, steps(axes, lines))) {
        const QString axis = p.axis == 0 ? QStringLiteral("-") : p.axisLetter();
        found << QStringLiteral("%1 %2 %3 %4")
                     .arg(p.stepLabel(), axis, ProgramProblems::kindId(p.kind), p.args.join(u','));
        QCOMPARE(p.severity, p.kind == ProgramProblems::Kind::MoveBeforeSpeed
                                 ? ProgramProblems::Severity::Information
                                 : ProgramProblems::Severity::Warning);
    }
    QCOMPARE(found, expected);
}

void TestProblems::texts_data()
{
    QTest::addColumn<QString>("langFile");
    QTest::newRow("English") << QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT");
    QTest::newRow("no language file") << QString();
    QTest::newRow("Japanese") << QStringLiteral(VELOMAT_LANG_DIR "/LANG0.DAT");
}

// Every wording once, in the language file's words; without the file (or
// without its text) in the English ones, which must stay the same as the
// English file's.
void TestProblems::texts()
{
    QFETCH(QString, langFile);
    const QList<ProgStep> program = steps(1, {"R:5", "U01:3", "W:1", "U03:4:2", "U02:C:1:9", "U01:8",
                                              "W:1", "W:1", "U01:8", "C:0:0:0:0", "U01:9", "U01:150"});
    const QStringList english = {
        "R: moves the axis before any speed is set for it (D:, or P: 8 to 10)",
        "this step can never run",
        "loop return step 004 is not before this step",
        "input jump on axis C, which this program does not have",
        "steps 006 to 007 can never run",
        "endless loop: this step repeats forever without moving or waiting",
        "endless loop: steps 009-010 repeat forever without moving or waiting",
        "this step can never run",
        "jump target 150 is past the last step 011",
    };

    QStringList texts;
    for (const ProgramProblems::Problem &p :
         ProgramProblems::find(m_catalogue, 1, program, clsIniFile(langFile)))
        texts << p.text;
    if (!langFile.endsWith(QLatin1String("LANG0.DAT"))) {
        QCOMPARE(texts, english);
        return;
    }
    QCOMPARE(texts.size(), english.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        QVERIFY2(!texts.at(i).isEmpty() && texts.at(i) != english.at(i), qPrintable(english.at(i)));
        QVERIFY2(!texts.at(i).contains(u'%'), qPrintable(texts.at(i)));
    }
    // The values are in the text whatever the language.
    QVERIFY(texts.at(8).contains(QLatin1String("150")) && texts.at(8).contains(QLatin1String("011")));
    QVERIFY(texts.at(6).contains(QLatin1String("009-010")));
}

QTEST_GUILESS_MAIN(TestProblems)
#include "tst_problems.moc"
