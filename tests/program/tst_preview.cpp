#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/MotionPreview.h"
#include "program/ProgramFile.h"
#include "support/ProgramLines.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

// The motion estimate of small programs worked out by hand, given as the
// step lines of their files. With D:1000:5000:200 an axis accelerates at
// 20000 pps/s and covers 600 pulses in each 0.2 s ramp, so 400 pulses are a
// triangle of 0.2 s peaking at 3000 pps and 10000 pulses take 2.16 s.
class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void timeline_data();
    void timeline();
    void moves_data();
    void moves();
    void positions_data();
    void positions();
    void loops();
    void randomPrograms();

private:
    QList<ProgStep> steps(int axes, const QStringList &lines) const;
    QStringList randomProgram(QRandomGenerator &rng, int axes) const;
    Catalogue m_catalogue;
};

namespace {

using Preview = MotionPreview;

QString num(double v)
{
    return QString::number(std::abs(v) < 1e-9 ? 0.0 : v, 'g', 9);
}

QString label(int step)
{
    return step < 0 ? QStringLiteral("-") : QStringLiteral("%1").arg(step, 3, 10, QChar(u'0'));
}

// "inputs=0,1 budget=10 profile=1000:5000:200" (the profile of every axis).
Preview::Options options(const QString &text)
{
    Preview::Options o;
    for (const QString &item : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString value = item.section(u'=', 1);
        if (item.startsWith(QLatin1String("inputs="))) {
            const QStringList states = value.split(u',');
            for (int a = 0; a < states.size(); ++a)
                o.inputs[a] = states.at(a).toInt();
        } else if (item.startsWith(QLatin1String("budget="))) {
            o.stepBudget = value.toLongLong();
        } else if (item.startsWith(QLatin1String("profile="))) {
            const QStringList p = value.split(u':');
            o.profiles.fill({p.at(0).toDouble(), p.at(1).toDouble(), p.at(2).toDouble()});
        }
    }
    return o;
}

} // namespace

void TestPreview::initTestCase()
{
    m_catalogue.buildCatalogue(clsIniFile());
    m_catalogue.buildParamRanges();
}

QList<ProgStep> TestPreview::steps(int axes, const QStringList &lines) const
{
    return programSteps(m_catalogue, axes, lines);
}

// Executed steps as "step@start" (up to 16 of them), the cycle time, the end
// positions, and the stop: "end STEP", "past STEP", or "budget" with the
// repetition's first step, length and period ("none" when none was found).
void TestPreview::timeline_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("opts");
    QTest::addColumn<QStringList>("expected");

    const QString d = QStringLiteral("D:1000:5000:200");
    auto row = [](const char *name, int axes, const QStringList &lines, const char *opts,
                  const QStringList &expected) {
        QTest::newRow(name) << axes << lines << QString::fromLatin1(opts) << expected;
    };

    row("no steps", 1, {}, "", {"", "cycle 0", "end 0", "past -"});
    row("trapezoid", 1, {d, "AGO:10000", "U99:"}, "",
        {"000@0 001@0 002@2.16", "cycle 2.16", "end 10000", "end 002"});
    row("triangle", 1, {d, "AGO:400", "U99:"}, "",
        {"000@0 001@0 002@0.2", "cycle 0.2", "end 400", "end 002"});
    row("default profile 100, 5000, 100 ms", 1, {"AGO:10000", "U99:"}, "",
        {"000@0 001@2.098", "cycle 2.098", "end 10000", "end 001"});
    row("caller's profile", 1, {"MGO:10000", "U99:"}, "profile=1000:5000:200",
        {"000@0 001@2.16", "cycle 2.16", "end 10000", "end 001"});
    row("P: 8, 9, 10 set the speeds", 1, {"P:8:1000", "P:9:3000", "P:10:100", "AGO:1000"}, "",
        {"000@0 001@0 002@0 003@0", "cycle 0.4", "end 1000", "past 003"});
    row("P: 11 leaves them", 1, {"P:11:5", "AGO:10000"}, "",
        {"000@0 001@0", "cycle 2.098", "end 10000", "past 001"});
    row("start speed above the maximum", 1, {"P:8:10000", "AGO:10000"}, "",
        {"000@0 001@0", "cycle 2", "end 10000", "past 001"});
    row("waits; the longest cell ends the step", 2, {"W:10,W:25", "AGO:400,W:5", "U99:,U00:"},
        "profile=1000:5000:200", {"000@0 001@2.5 002@3", "cycle 3", "end 400,0", "end 002"});
    row("no time: comment, output, S:, U04:, P:", 1,
        {"#:hello", "C:1:0:2:0", "S:3", "U04:", "P:60:1", "U00:", "W:1", "U99:"}, "",
        {"000@0 001@0 002@0 003@0 004@0 005@0 006@0 007@0.1", "cycle 0.1", "end 0", "end 007"});
    row("U99: in axis 2 waits for axis 1's move", 2, {d + ',' + d, "AGO:400,U99:", "W:10,W:10"}, "",
        {"000@0 001@0", "cycle 0.2", "end 400,0", "end 001"});
    row("H: and R:", 1, {d, "AGO:400", "H:", "R:-400", "U99:"}, "",
        {"000@0 001@0 002@0.2 003@0.4 004@0.6", "cycle 0.6", "end -400", "end 004"});
    row("loop of 3 repeats", 1, {d, "R:400", "W:5", "U03:1:3", "U99:"}, "",
        {"000@0 001@0 002@0.2 003@0.7 001@0.7 002@0.9 003@1.4 001@1.4 002@1.6 003@2.1 001@2.1 002@2.3 "
         "003@2.8 004@2.8",
         "cycle 2.8", "end 1600", "end 004"});
    row("U02: input 0, state 1: goes on", 1, {"U02:A:1:3", "W:10", "U99:", "W:20", "U99:"}, "",
        {"000@0 001@0 002@1", "cycle 1", "end 0", "end 002"});
    row("U02: input 1, state 1: jumps", 1, {"U02:A:1:3", "W:10", "U99:", "W:20", "U99:"}, "inputs=1",
        {"000@0 003@0 004@2", "cycle 2", "end 0", "end 004"});
    row("U02: state 0 jumps by default", 1, {"U02:A:0:3", "W:10", "U99:", "W:20", "U99:"}, "",
        {"000@0 003@0 004@2", "cycle 2", "end 0", "end 004"});
    row("U02: reads axis B", 2, {"U02:B:1:2,U02:B:1:2", "W:10,U00:", "U99:,U00:"}, "inputs=0,1",
        {"000@0 002@0", "cycle 0", "end 0,0", "end 002"});
    row("jump past the last step", 1, {"W:2", "U01:150", "W:1"}, "",
        {"000@0 001@0.2", "cycle 0.2", "end 0", "past 001"});
    row("endless loop", 1, {d, "R:400", "W:3", "U01:1"}, "budget=10",
        {"000@0 001@0 002@0.2 003@0.5 001@0.5 002@0.7 003@1 001@1 002@1.2 003@1.5", "cycle 1.5", "end 1200",
         "budget 001 3 0.5"});
    row("endless loop, default budget", 1, {d, "R:400", "W:3", "U01:1"}, "",
        {"100000 steps", "cycle 16666.5", "end 13333200", "budget 001 3 0.5"});
    row("first pass slower; period from a later one", 1, {d, "H:", "AGO:400", "U01:1"}, "budget=10",
        {"000@0 001@0 002@0 003@0.2 001@0.2 002@0.4 003@0.6 001@0.6 002@0.8 003@1", "cycle 1", "end 400",
         "budget 001 3 0.4"});
    row("second pass after the budget", 1, {d, "H:", "AGO:400", "U01:1"}, "budget=5",
        {"000@0 001@0 002@0 003@0.2 001@0.2", "cycle 0.4", "end 0", "budget 001 3 0.4"});
    row("idle jump to itself", 1, {"U01:0"}, "budget=100",
        {"100 steps", "cycle 0", "end 0", "budget 000 1 0"});
    row("counted loop inside an endless one", 1, {"W:1", "U03:0:2", "U01:0"}, "budget=20",
        {"20 steps", "cycle 0.9", "end 0", "budget 000 7 0.3"});
    row("counted loop longer than the search", 1, {"W:1", "U03:0:8388607", "U99:"}, "budget=50",
        {"50 steps", "cycle 2.5", "end 0", "budget none"});
}

void TestPreview::timeline()
{
    QFETCH(int, axes);
    QFETCH(QStringList, lines);
    QFETCH(QString, opts);
    QFETCH(QStringList, expected);

    const Preview::Result r = Preview::run(m_catalogue, axes, steps(axes, lines), options(opts));
    QStringList trace;
    for (const Preview::ExecutedStep &e : r.executed)
        trace << label(e.step) + u'@' + num(e.start);
    QStringList ends;
    for (int a = 0; a < axes; ++a)
        ends << num(r.endPosition[a]);
    QString stop;
    switch (r.stopReason) {
    case Preview::StopReason::ProgramEnd: stop = QStringLiteral("end ") + label(r.stopStep); break;
    case Preview::StopReason::PastLastStep: stop = QStringLiteral("past ") + label(r.stopStep); break;
    case Preview::StopReason::StepBudget:
        stop = r.repeatStep < 0 ? QStringLiteral("budget none")
                                : QStringLiteral("budget %1 %2 %3")
                                      .arg(label(r.repeatStep)).arg(r.repeatLength).arg(num(r.repeatPeriod));
        break;
    }
    const QString steps = trace.size() > 16 ? QStringLiteral("%1 steps").arg(trace.size()) : trace.join(u' ');
    const QStringList found = {steps,
                               QStringLiteral("cycle ") + num(r.cycleTime),
                               QStringLiteral("end ") + ends.join(u','), stop};
    QCOMPARE(found, expected);
}

// Each move as "EXECUTED AXIS start accelEnd cruiseEnd end from to startSpeed peakSpeed".
void TestPreview::moves_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected");

    const QString d = QStringLiteral("D:1000:5000:200");
    const QString d2 = d + u',' + d;
    QTest::newRow("trapezoid") << 1 << QStringList{d, "AGO:10000"}
                               << QStringList{"1 A 0 0.2 1.96 2.16 0 10000 1000 5000"};
    QTest::newRow("triangle backwards, after a wait")
        << 1 << QStringList{d, "W:5", "R:-400"} << QStringList{"2 A 0.5 0.6 0.6 0.7 0 -400 1000 3000"};
    QTest::newRow("P: speeds, the maximum reached exactly")
        << 1 << QStringList{"P:8:1000", "P:9:3000", "P:10:100", "AGO:400"}
        << QStringList{"3 A 0 0.1 0.1 0.2 0 400 1000 3000"};
    QTest::newRow("one speed throughout") << 1 << QStringList{"P:8:10000", "AGO:10000"}
                                          << QStringList{"1 A 0 0 2 2 0 10000 5000 5000"};
    QTest::newRow("no distance, no move") << 1 << QStringList{d, "AGO:0", "H:"} << QStringList{};
    QTest::newRow("AGO: each on its own") << 2 << QStringList{d2, "AGO:10000,AGO:5000"}
        << QStringList{"1 A 0 0.2 1.96 2.16 0 10000 1000 5000", "1 B 0 0.2 0.96 1.16 0 5000 1000 5000"};
    QTest::newRow("BGO: B follows A") << 2 << QStringList{d2, "BGO:10000,BGO:5000"}
        << QStringList{"1 A 0 0.2 1.96 2.16 0 10000 1000 5000", "1 B 0 0.2 1.96 2.16 0 5000 500 2500"};
    QTest::newRow("BGO: C leads A backwards") << 3 << QStringList{d + ',' + d2, "BGO:-1000,BGO:0,BGO:10000"}
        << QStringList{"1 A 0 0.2 1.96 2.16 0 -1000 100 500", "1 C 0 0.2 1.96 2.16 0 10000 1000 5000"};
}

void TestPreview::moves()
{
    QFETCH(int, axes);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);

    QStringList found;
    for (const Preview::Move &m : Preview::run(m_catalogue, axes, steps(axes, lines)).moves)
        found << QStringList{QString::number(m.executed), QString(QChar(u'A' + m.axis - 1)), num(m.start),
                             num(m.accelEnd), num(m.cruiseEnd), num(m.end), num(m.from), num(m.to),
                             num(m.startSpeed), num(m.peakSpeed)}.join(u' ');
    QCOMPARE(found, expected);
}

void TestPreview::positions_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("axis");
    QTest::addColumn<double>("time");
    QTest::addColumn<double>("position");

    const QString d = QStringLiteral("D:1000:5000:200,D:1000:5000:200");
    const QStringList trapezoid{d, "AGO:10000,U00:"};
    QTest::newRow("before the start") << trapezoid << 1 << -1.0 << 0.0;
    QTest::newRow("in the ramp up") << trapezoid << 1 << 0.1 << 200.0;
    QTest::newRow("cruising") << trapezoid << 1 << 1.0 << 4600.0;
    QTest::newRow("in the ramp down") << trapezoid << 1 << 2.06 << 9800.0;
    QTest::newRow("after the end") << trapezoid << 1 << 5.0 << 10000.0;
    QTest::newRow("axis that never moves") << trapezoid << 2 << 1.0 << 0.0;
    QTest::newRow("BGO: B in proportion") << QStringList{d, "BGO:10000,BGO:5000"} << 2 << 1.5 << 3550.0;
    QTest::newRow("AGO: B already there") << QStringList{d, "AGO:10000,AGO:5000"} << 2 << 1.5 << 5000.0;
    const QStringList thereAndBack{d, "AGO:400,U00:", "W:5,U00:", "H:,U00:"};
    QTest::newRow("during a later wait") << thereAndBack << 1 << 0.3 << 400.0;
    QTest::newRow("in a later move") << thereAndBack << 1 << 0.8 << 200.0;
}

void TestPreview::positions()
{
    QFETCH(QStringList, lines);
    QFETCH(int, axis);
    QFETCH(double, time);
    QFETCH(double, position);

    const Preview::Result r = Preview::run(m_catalogue, 2, steps(2, lines));
    QCOMPARE(num(r.positionAt(axis, time)), num(position));
}

// Nested counted loops: the inner one starts its count afresh each time the
// outer one comes back; outputs and waits are marked where they happen.
void TestPreview::loops()
{
    const Preview::Result r =
        Preview::run(m_catalogue, 1, steps(1, {"W:1", "U03:0:1", "C:1:0:2:0", "U03:0:1", "U99:"}));
    QCOMPARE(r.loops.size(), 2);
    auto loop = [&](int i) {
        return QList<qint64>{r.loops[i].step, r.loops[i].repeats, r.loops[i].completions};
    };
    QCOMPARE(loop(0), (QList<qint64>{1, 2, 2}));
    QCOMPARE(loop(1), (QList<qint64>{3, 1, 1}));
    QCOMPARE(r.stepTotals[0].runs, qint64(4));
    QCOMPARE(num(r.stepTotals[0].time), QStringLiteral("0.4"));

    QStringList marks;
    for (const Preview::Mark &m : r.marks) {
        QString what = num(m.duration);
        if (m.kind == Preview::Mark::Kind::Output)
            what = QStringLiteral("%1%2%3%4")
                       .arg(m.outputs[0]).arg(m.outputs[1]).arg(m.outputs[2]).arg(m.outputs[3]);
        marks << label(m.step) + u' ' + num(m.time) + u' ' + what;
    }
    QCOMPARE(marks, (QStringList{"000 0 0.1", "000 0.1 0.1", "002 0.2 1020", "000 0.2 0.1", "000 0.3 0.1",
                                 "002 0.4 1020"}));
}

// The step lines of a random program that the file reader takes: every
// command of the catalogue with parameters in its ranges, jump targets up to
// one past the end, now and then a long wait or a loop counted in millions.
QStringList TestPreview::randomProgram(QRandomGenerator &rng, int axes) const
{
    auto pick = [&](qint64 lo, qint64 hi) { return lo + qint64(rng.bounded(quint64(hi - lo + 1))); };
    const qint64 n = pick(1, 25);
    auto cell = [&](bool wholeStep, qint64 i) {
        const int cmd = int(pick(1, Catalogue::kCommandCount));
        if (m_catalogue.fillsStep(cmd) != wholeStep)
            return QString();
        const qint64 target = pick(0, n + 1);
        switch (cmd) {
        case Catalogue::D: {
            const qint64 v0 = pick(10, 20000);
            return QStringLiteral("D:%1:%2:%3").arg(v0).arg(pick(v0, 600000)).arg(pick(1, 1000));
        }
        case Catalogue::P: {
            const int no = pick(0, 1) ? int(pick(8, 10)) : 60;
            return QStringLiteral("P:%1:%2").arg(no).arg(pick(m_catalogue.getParamMin(no).toLongLong(),
                                                              m_catalogue.getParamMax(no).toLongLong()));
        }
        case Catalogue::C:
            return QStringLiteral("C:%1:%2:%3:%4")
                .arg(pick(0, 2)).arg(pick(0, 2)).arg(pick(0, 2)).arg(pick(0, 2));
        case Catalogue::S: return QStringLiteral("S:%1").arg(pick(0, 15));
        case Catalogue::W: return QStringLiteral("W:%1").arg(pick(1, pick(0, 9) ? 30 : 65535));
        case Catalogue::U01: return QStringLiteral("U01:%1").arg(target);
        case Catalogue::U02:
            return QStringLiteral("U02:%1:%2:%3")
                .arg(QChar(char16_t(u'A' + pick(0, 2)))).arg(pick(0, 1)).arg(target);
        case Catalogue::U03:
            return QStringLiteral("U03:%1:%2").arg(target).arg(pick(0, 9) ? pick(1, 5) : pick(1, 8388607));
        case Catalogue::Label: return QStringLiteral("#:step %1").arg(i);
        default: // moves with a target or distance, and commands without parameters
            return m_catalogue.mnemonic(cmd)
                + (m_catalogue.paramCount(cmd) ? QString::number(pick(-99999999, 99999999)) : QString());
        }
    };
    QStringList lines;
    for (qint64 i = 0; i < n; ++i) {
        const QString whole = pick(0, 5) ? QString() : cell(true, i);
        QStringList cells;
        for (int a = 0; a < axes; ++a) {
            QString c = whole;
            while (c.isEmpty())
                c = cell(false, i);
            cells << c;
        }
        lines << cells.join(u',');
    }
    return lines;
}

// Random valid programs: the run keeps to its budget, its times add up and
// none is negative or infinite, and a repetition it reports does repeat.
void TestPreview::randomPrograms()
{
    QRandomGenerator rng(20261208);
    auto good = [](double t) { return std::isfinite(t) && t >= 0; };
    for (int program = 0; program < 300; ++program) {
        const int axes = int(rng.bounded(1, 4));
        const QStringList lines = randomProgram(rng, axes);
        Preview::Options o;
        o.stepBudget = QList<qint64>{1, 10, 1000, 20000}.at(rng.bounded(4));
        o.inputs = {int(rng.bounded(2)), int(rng.bounded(2)), int(rng.bounded(2))};
        const Preview::Result r = Preview::run(m_catalogue, axes, steps(axes, lines), o);
        const QByteArray what = lines.join(u'/').toLatin1() + " budget " + QByteArray::number(o.stepBudget);

        QVERIFY2(r.executed.size() <= o.stepBudget, what);
        QVERIFY2(r.stopReason != Preview::StopReason::StepBudget || r.executed.size() == o.stepBudget, what);
        double t = 0;
        for (const Preview::ExecutedStep &e : r.executed) {
            QVERIFY2(e.start == t && good(e.duration), what);
            t += e.duration;
        }
        QVERIFY2(r.cycleTime == t && good(r.cycleTime) && good(r.repeatPeriod), what);
        qint64 runs = 0;
        for (const Preview::StepTotal &s : r.stepTotals) {
            QVERIFY2(good(s.time), what);
            runs += s.runs;
        }
        QCOMPARE(runs, qint64(r.executed.size()));
        for (const Preview::Move &m : r.moves) {
            const Preview::ExecutedStep &e = r.executed.at(m.executed);
            QVERIFY2(m.start == e.start && m.start <= m.accelEnd && m.accelEnd <= m.cruiseEnd
                         && m.cruiseEnd <= m.end && m.end <= e.start + e.duration
                         && good(m.peakSpeed) && good(m.startSpeed), what);
            QVERIFY2(std::isfinite(r.positionAt(m.axis, (m.accelEnd + m.cruiseEnd) / 2)), what);
        }
        for (const Preview::Mark &m : r.marks)
            QVERIFY2(good(m.time) && good(m.duration), what);
        if (r.repeatStep >= 0 && r.repeatFirst + r.repeatLength < r.executed.size()) {
            QCOMPARE(r.executed.at(r.repeatFirst).step, r.repeatStep);
            QCOMPARE(r.executed.at(r.repeatFirst + r.repeatLength).step, r.repeatStep);
        }
    }
}

QTEST_GUILESS_MAIN(TestPreview)
#include "tst_preview.moc"
