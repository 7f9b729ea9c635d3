#include "config/Messages.h"
#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/MotionPreview.h"
#include "program/ProgramDocument.h"
#include "support/ProgramLines.h"
#include "support/ScriptedPresenter.h"
#include "ui/PreviewWindow.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include <cmath>

// The preview window on programs whose run MotionPreview works out: what
// the chart draws is the estimated motion, the summary tells it, a click
// names the step run at that time, and the estimate follows edits of the
// program and of the assumptions.
class TestPreviewWindow : public QObject
{
    Q_OBJECT

private slots:
    void drawsTheRun_data();
    void drawsTheRun();
    void clickChoosesTheStep_data();
    void clickChoosesTheStep();
    void zoomAndPan();
    void assumptionsEstimateAgain_data();
    void assumptionsEstimateAgain();
    void editsEstimateAgain();
};

namespace {

const QString kD = QStringLiteral("D:1000:5000:200");

// Two axes and a counted loop: step 001 takes 2.16 s (A's trapezoid), steps
// 002 and 003 run four times (0.2 s of moves, 0.5 s of wait on B, an
// output change on A), step 005 takes 1.74 s: 6.7 s in all.
const QStringList kLoopProgram = {
    kD + u',' + kD, "AGO:10000,AGO:400", "R:-400,R:400", "C:1:0:1:0,W:5", "U03:2:3,U03:2:3",
    "AGO:500,AGO:-300", "U99:,U00:",
};

struct Fixture
{
    explicit Fixture(int axes, const QStringList &lines)
        : lang(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")), messages(lang, presenter),
          doc(catalogue(), lang, messages, 200), window(catalogue(), lang, nullptr)
    {
        doc.setAxis(axes);
        doc.setFileName(QStringLiteral("Program1"));
        if (!doc.putSteps(programSteps(catalogue(), axes, lines)))
            qFatal("test program refused");
        window.follow(&doc, axes);
    }

    static const Catalogue &catalogue() { return englishCatalogue(); }

    MotionPreview::Result estimate(const MotionPreview::Options &options = {}) const
    {
        return MotionPreview::run(catalogue(), doc.getAxis(), doc.steps(), options);
    }

    // Shows the window and waits for the chart's layout.
    bool show()
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        return QTest::qWaitFor([this] { return window.chart()->plotArea().width() > 200; }, 5000);
    }

    // The viewport point of time t, halfway up the plot.
    QPoint pointAt(double t) const
    {
        QChart *chart = window.chart();
        QPointF at = chart->mapToPosition(QPointF(t, 0), window.axisSeries(1));
        at.setY(chart->plotArea().center().y());
        return window.chartView()->mapFromScene(chart->mapToScene(at));
    }

    QList<QLineSeries *> curves() const
    {
        QList<QLineSeries *> found;
        for (QAbstractSeries *s : window.chart()->series())
            if (s->type() == QAbstractSeries::SeriesTypeLine)
                found << static_cast<QLineSeries *>(s);
        return found;
    }

    ScriptedPresenter presenter;
    clsIniFile lang;
    Messages messages;
    ProgramDocument doc;
    PreviewWindow window;
};

void sendMouse(QWidget *to, QEvent::Type type, const QPoint &at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(at), QPointF(to->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

} // namespace

void TestPreviewWindow::drawsTheRun_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("summary"); // lines the summary must hold
    QTest::addColumn<bool>("outlined");       // too many moves to draw each

    QTest::newRow("one axis, past the last step")
        << 1 << QStringList{kD, "AGO:400", "W:5", "R:-1600"}
        << QStringList{"Cycle time: 1.180 s", "End position: A -1200", "Stop: past the last step, after step 003"}
        << false;
    QTest::newRow("two axes with a counted loop")
        << 2 << kLoopProgram
        << QStringList{"Cycle time: 6.700 s", "Executed steps: 16", "End position: A 500, B -300",
                       "Loop U03: in step 004 (back to step 002, count 3): jumped back: 3, went on: 1",
                       "Stop: program end, U99: in step 006"}
        << false;
    QTest::newRow("three axes, BGO: together")
        << 3 << QStringList{kD + u',' + kD + u',' + kD, "BGO:10000,BGO:400,AGO:-2000", "U99:,U00:,U00:"}
        << QStringList{"Cycle time: 2.160 s", "End position: A 10000, B 400, C -2000"} << false;
    QTest::newRow("endless loop, the step budget used up")
        << 1 << QStringList{kD, "R:400", "W:3", "U01:1"}
        << QStringList{"Cycle time: 16666.500 s", "Executed steps: 100000",
                       "Stop: the step budget of 100000 steps is used up; the program repeats forever from "
                       "step 001, every 0.500 s (3 steps)"}
        << true;
}

void TestPreviewWindow::drawsTheRun()
{
    QFETCH(int, axes);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, summary);
    QFETCH(bool, outlined);

    Fixture f(axes, lines);
    const MotionPreview::Result expected = f.estimate();
    const MotionPreview::Result &r = f.window.result();
    QCOMPARE(r.cycleTime, expected.cycleTime);
    QCOMPARE(r.executed.size(), expected.executed.size());

    // One curve per axis from the start to the end of the run, every point
    // of it on the estimated motion, within the point limit.
    const QList<QLineSeries *> curves = f.curves();
    QCOMPARE(curves.size(), axes);
    for (int a = 1; a <= axes; ++a) {
        QLineSeries *curve = f.window.axisSeries(a);
        QVERIFY(curves.contains(curve));
        const QList<QPointF> points = curve->points();
        QVERIFY(points.size() > 2);
        QVERIFY(points.size() <= PreviewWindow::kMaxPoints);
        QCOMPARE(points.first(), QPointF(0, 0));
        QCOMPARE(points.last().x(), r.cycleTime);
        QCOMPARE(points.last().y(), r.endPosition[a - 1]);
        for (qsizetype i = 0; i < points.size(); ++i) {
            const QPointF &p = points.at(i);
            QVERIFY2(std::abs(p.y() - r.positionAt(a, p.x())) < 1e-6 && (i == 0 || p.x() >= points.at(i - 1).x()),
                     qPrintable(QStringLiteral("axis %1 point %2 (%3, %4)").arg(a).arg(i).arg(p.x()).arg(p.y())));
        }
    }
    const QStringList shown = f.window.summaryText().split(u'\n');
    for (const QString &line : summary)
        QVERIFY2(shown.contains(line), qPrintable(f.window.summaryText()));

    // The steps' table: every program step, its runs and its share.
    QTableWidget *table = f.window.stepTable();
    QCOMPARE(table->rowCount(), lines.size());
    for (int s = 0; s < lines.size(); ++s) {
        QCOMPARE(table->item(s, 0)->text(), ProgramDocument::stepLabel(s + 1));
        QCOMPARE(table->item(s, 1)->text(), QString::number(r.stepTotals.at(s).runs));
    }

    // A long run is outlined and its marks thinned, and says so; zoomed in
    // it is drawn in full again.
    auto *note = f.window.findChild<QLabel *>(QStringLiteral("lblNote"));
    QCOMPARE(!note->isHidden(), outlined);
    if (outlined) {
        f.window.showSpan(100, 101);
        QVERIFY(note->isHidden());
        QCOMPARE(f.window.axisSeries(1)->points().last(), QPointF(101, r.positionAt(1, 101)));
    } else {
        // Each C: and W: that ran is marked.
        auto marks = [&r](MotionPreview::Mark::Kind kind) {
            return std::count_if(r.marks.cbegin(), r.marks.cend(),
                                 [kind](const MotionPreview::Mark &m) { return m.kind == kind; });
        };
        qsizetype drawn = 0;
        for (QAbstractSeries *s : f.window.chart()->series())
            if (s->type() == QAbstractSeries::SeriesTypeScatter)
                drawn += static_cast<QScatterSeries *>(s)->count();
        QCOMPARE(drawn, marks(MotionPreview::Mark::Kind::Output) + marks(MotionPreview::Mark::Kind::Wait));
    }
}

void TestPreviewWindow::clickChoosesTheStep_data()
{
    QTest::addColumn<double>("spanStart"); // the span in view; both 0: the whole run
    QTest::addColumn<double>("spanEnd");
    QTest::addColumn<double>("time");
    QTest::addColumn<int>("step");

    QTest::newRow("in the first move") << 0.0 << 0.0 << 1.0 << 1;
    QTest::newRow("first pass of the loop's move") << 0.0 << 0.0 << 2.26 << 2;
    QTest::newRow("the wait of the loop") << 0.0 << 0.0 << 2.6 << 3;
    QTest::newRow("last move") << 0.0 << 0.0 << 6.0 << 5;
    QTest::newRow("zoomed in: third pass of the move") << 3.5 << 4.5 << 3.65 << 2;
    QTest::newRow("zoomed in: third pass of the wait") << 3.5 << 4.5 << 4.0 << 3;
}

void TestPreviewWindow::clickChoosesTheStep()
{
    QFETCH(double, spanStart);
    QFETCH(double, spanEnd);
    QFETCH(double, time);
    QFETCH(int, step);

    Fixture f(2, kLoopProgram);
    QVERIFY(f.show());
    if (spanEnd > 0)
        f.window.showSpan(spanStart, spanEnd);
    QWidget *viewport = f.window.chartView()->viewport();
    const QPoint at = f.pointAt(time);

    // The cursor tells the step and the positions there.
    sendMouse(viewport, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    const QString cursor = f.window.cursorText();
    QVERIFY2(cursor.contains(QStringLiteral(", step %1").arg(ProgramDocument::stepLabel(step + 1))),
             qPrintable(cursor));
    QVERIFY2(cursor.contains(QStringLiteral("\nB: ")), qPrintable(cursor));

    QSignalSpy chosen(&f.window, &PreviewWindow::stepChosen);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.first().first().toInt(), step + 1);
}

void TestPreviewWindow::zoomAndPan()
{
    Fixture f(2, kLoopProgram);
    QVERIFY(f.show());
    QWidget *viewport = f.window.chartView()->viewport();
    auto *reset = f.window.findChild<QPushButton *>(QStringLiteral("cmdResetZoom"));
    QVERIFY(!reset->isEnabled());
    const double pixel = 6.7 / f.window.chart()->plotArea().width();

    // A drag zooms into its span and chooses nothing.
    QSignalSpy chosen(&f.window, &PreviewWindow::stepChosen);
    const QPoint from = f.pointAt(2), to = f.pointAt(4);
    sendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(chosen.size(), 0);
    QVERIFY2(std::abs(f.window.viewStart() - 2) <= 2 * pixel && std::abs(f.window.viewEnd() - 4) <= 2 * pixel,
             qPrintable(QStringLiteral("%1 .. %2").arg(f.window.viewStart()).arg(f.window.viewEnd())));
    QVERIFY(reset->isEnabled());
    // The curves are sampled for the span in view.
    QCOMPARE(f.window.axisSeries(2)->points().last().x(), f.window.viewEnd());

    // The arrow keys pan by a tenth, never past the run.
    const double start = f.window.viewStart(), span = f.window.viewEnd() - start;
    QTest::keyClick(f.window.chartView(), Qt::Key_Right);
    QVERIFY(qFuzzyCompare(f.window.viewStart(), start + span / 10));
    QVERIFY(qFuzzyCompare(f.window.viewEnd() - f.window.viewStart(), span));
    for (int i = 0; i < 40; ++i)
        QTest::keyClick(f.window.chartView(), Qt::Key_Right);
    QCOMPARE(f.window.viewEnd(), 6.7);

    // The wheel zooms out about the mouse; the button shows the whole run.
    QWheelEvent wheel(QPointF(f.pointAt(5)), QPointF(), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    QVERIFY(f.window.viewEnd() - f.window.viewStart() > span * 1.2);
    reset->click();
    QCOMPARE(f.window.viewStart(), 0.0);
    QCOMPARE(f.window.viewEnd(), 6.7);
    QVERIFY(!reset->isEnabled());
}

void TestPreviewWindow::assumptionsEstimateAgain_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value");

    // Axis A moves 2000 pulses and axis B 1000 before any D:, then U02:
    // skips a 1 s wait when B's input is 1.
    QTest::newRow("start speed of A") << "spnStartSpeed1" << 2000;
    QTest::newRow("maximum speed of A") << "spnMaxSpeed1" << 2000;
    QTest::newRow("acceleration time of A") << "spnAccelTime1" << 300;
    QTest::newRow("maximum speed of B") << "spnMaxSpeed2" << 500;
    QTest::newRow("input of B") << "cboInput2" << 1;
}

void TestPreviewWindow::assumptionsEstimateAgain()
{
    QFETCH(QString, control);
    QFETCH(int, value);

    Fixture f(2, {"AGO:2000,AGO:1000", "U02:B:1:3,U02:B:1:3", "W:10,U00:", "U99:,U00:"});
    const double before = f.window.result().cycleTime;
    QCOMPARE(before, f.estimate().cycleTime);
    // A two-axis program: no row for axis C.
    QVERIFY(f.window.findChild<QSpinBox *>(QStringLiteral("spnStartSpeed3"))->isHidden());

    MotionPreview::Options changed;
    const int axis = control.back().digitValue() - 1;
    if (auto *box = f.window.findChild<QSpinBox *>(control)) {
        QVERIFY(!box->isHidden());
        box->setValue(value);
        MotionPreview::Profile &p = changed.profiles[axis];
        (control.startsWith(QLatin1String("spnStart")) ? p.startSpeed
         : control.startsWith(QLatin1String("spnMax")) ? p.maxSpeed
                                                        : p.accelTime) = value;
    } else {
        auto *combo = f.window.findChild<QComboBox *>(control);
        QVERIFY(combo);
        combo->setCurrentIndex(value);
        changed.inputs[axis] = value;
    }
    QTRY_VERIFY(f.window.result().cycleTime != before);
    const double after = f.estimate(changed).cycleTime;
    QCOMPARE(f.window.result().cycleTime, after);
    QVERIFY(f.window.summaryText().contains(QStringLiteral("Cycle time: %1 s").arg(after, 0, 'f', 3)));

    // The button brings the assumed values back.
    f.window.findChild<QPushButton *>(QStringLiteral("cmdDefaults"))->click();
    QTRY_COMPARE(f.window.result().cycleTime, before);
}

void TestPreviewWindow::editsEstimateAgain()
{
    Fixture f(2, kLoopProgram);
    QCOMPARE(f.window.result().cycleTime, 6.7);
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Motion preview - Program1"));

    // An edit: the estimate waits for the pause after it.
    QVERIFY(f.doc.putCell(1, 2, programSteps(Fixture::catalogue(), 2, {"AGO:5000,AGO:400"}).first().first()));
    QCOMPARE(f.window.result().cycleTime, 6.7);
    QTRY_COMPARE(f.window.result().cycleTime, f.estimate().cycleTime);
    QVERIFY(f.window.result().cycleTime < 6.7);
    QCOMPARE(f.window.axisSeries(1)->points().last().y(), 500.0);

    // A marked cell is no edit.
    f.doc.setMarks({{2, 1, QStringLiteral("a note")}});
    QTest::qWait(400);
    QCOMPARE(f.window.result().cycleTime, f.estimate().cycleTime);

    // Steps inserted, then none followed: the window empties.
    QVERIFY(f.doc.insertStep(2));
    QTRY_COMPARE(f.window.result().executed.size(), f.estimate().executed.size());
    f.window.follow(nullptr, 2);
    QVERIFY(f.window.result().executed.isEmpty());
    QVERIFY(f.window.axisSeries(1)->points().isEmpty());
    QCOMPARE(f.window.summaryText(), QStringLiteral("No program to preview."));
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Motion preview"));
}

QTEST_MAIN(TestPreviewWindow)
#include "tst_preview_window.moc"
