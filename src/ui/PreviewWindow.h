#pragma once

#include "program/MotionPreview.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>

class Catalogue;
class ProgramDocument;
class clsIniFile;
class QChart;
class QChartView;
class QComboBox;
class QGraphicsLineItem;
class QLabel;
class QLineSeries;
class QPushButton;
class QRubberBand;
class QScatterSeries;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTextBrowser;
class QValueAxis;

// The motion preview of a program: where each axis is over time as
// MotionPreview estimates it, drawn as a chart with the C: output changes
// and W: waits marked, a summary (cycle time, end positions, loops, why the
// run stopped), each step's share of the time, and the model the estimate
// rests on. The speeds an axis has before the program sets its own and the
// input states U02: reads are assumptions the user can change here.
//
// The chart zooms and pans on the time axis only: drag with the left
// button to zoom into a span, turn the wheel to zoom about the mouse, drag
// with the right or middle button or press the arrow keys to pan, Home or
// the button to see the whole run. A vertical cursor follows the mouse and
// tells the time, the step executed then and every axis's position; a
// click chooses that step.
//
// What is drawn is sampled afresh for the span in view, so that a long run
// stays light: each move with its ramps while few moves are in view, else
// as its outline (lowest and highest position per slice of time); marks
// closer than a few pixels are drawn once. The window says when it draws an
// outline or leaves marks out.
class PreviewWindow : public QWidget
{
    Q_OBJECT

public:
    // Points drawn per axis at most.
    static constexpr int kMaxPoints = 20000;

    PreviewWindow(const Catalogue &catalogue, const clsIniFile &langIni, QWidget *parent);
    ~PreviewWindow() override;

    // The texts in the run's language (bound after start-up).
    void applyTexts();
    // The program the window shows, estimated again a moment after each
    // change (null: none, the window is empty).
    void follow(ProgramDocument *document, int axes);
    ProgramDocument *document() const;
    // Estimates the program now rather than after the pause.
    void estimateNow();

    // The assumptions: each axis's speeds before the program sets them and
    // the input states. Setting them estimates again after the pause.
    MotionPreview::Options options() const { return m_options; }
    void setOptions(const MotionPreview::Options &options);

    const MotionPreview::Result &result() const { return m_result; }
    QChartView *chartView() const { return m_view; }
    QChart *chart() const { return m_chart; }
    // The position curve of axis 1..3 (null past the program's axes).
    QLineSeries *axisSeries(int axis) const;
    QLabel *summaryLabel() const { return m_summary; }
    QString summaryText() const;
    QTableWidget *stepTable() const { return m_steps; }
    // The cursor's text; empty while the mouse is off the chart.
    QString cursorText() const;

    // The time span in view, and showing another one (kept inside the run).
    double viewStart() const { return m_viewStart; }
    double viewEnd() const { return m_viewEnd; }
    void showSpan(double start, double end);
    void resetZoom();
    // The grid row (1-based) of the step executed at time t; 0 without one.
    int rowAt(double t) const;

signals:
    // A step the user chose in the chart (or the step table): its grid row.
    void stepChosen(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString text(const char *key) const;
    // A text with places for values (%1 ...).
    QString format(const char *key) const;
    QWidget *buildAssumptions();
    void setAxisCount(int axes);
    void showOptions();
    void readOptions();
    void updateTitle();
    void indexResult();
    void fillSummary();
    void fillSteps();
    void redraw();
    double fullEnd() const;
    QRectF plotRectInView() const;
    // The time under a point of the viewport; false off the plot area.
    bool timeAtViewPoint(const QPoint &point, double *t) const;
    void moveCursor(const QPoint &point);
    void hideCursor();
    void zoomAbout(double t, double factor);
    void panBy(double dt);

    const Catalogue &m_catalogue;
    const clsIniFile &m_langIni;
    QPointer<ProgramDocument> m_document;
    int m_axes = 1;
    QTimer m_pause; // edits come in bursts (a paste, an undo): one estimate after them
    QTimer m_relayout;
    QList<QMetaObject::Connection> m_watch;

    MotionPreview::Options m_options;
    MotionPreview::Result m_result;
    std::array<QList<qint32>, MotionPreview::kMaxAxes> m_axisMoves; // indices into m_result.moves
    double m_viewStart = 0;
    double m_viewEnd = 1;

    QChartView *m_view = nullptr;
    QChart *m_chart = nullptr;
    QValueAxis *m_timeAxis = nullptr;
    QValueAxis *m_positionAxis = nullptr;
    std::array<QLineSeries *, MotionPreview::kMaxAxes> m_series{};
    QScatterSeries *m_outputMarks = nullptr;
    QScatterSeries *m_waitMarks = nullptr;
    QGraphicsLineItem *m_cursorLine = nullptr;
    QLabel *m_cursorLabel = nullptr;
    QRubberBand *m_band = nullptr;
    QPushButton *m_resetZoom = nullptr;
    QLabel *m_hint = nullptr;
    QLabel *m_note = nullptr;
    QLabel *m_summaryHeading = nullptr;
    QLabel *m_summary = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_steps = nullptr;
    QTextBrowser *m_model = nullptr;

    // The assumptions tab.
    QLabel *m_assumptionNote = nullptr;
    std::array<QLabel *, 5> m_assumptionHeads{};
    std::array<QLabel *, MotionPreview::kMaxAxes> m_axisNames{};
    std::array<QSpinBox *, MotionPreview::kMaxAxes> m_startSpeed{};
    std::array<QSpinBox *, MotionPreview::kMaxAxes> m_maxSpeed{};
    std::array<QSpinBox *, MotionPreview::kMaxAxes> m_accelTime{};
    std::array<QComboBox *, MotionPreview::kMaxAxes> m_input{};
    QPushButton *m_defaults = nullptr;

    // Mouse gestures on the chart.
    enum class Drag { None, Pending, Band, Pan };
    Drag m_drag = Drag::None;
    QPoint m_pressPoint;
    QPoint m_lastPoint;
};
