#include "PreviewWindow.h"

#include "PreviewParts.h"

#include "config/NumberText.h"
#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/ProgramDocument.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGraphicsLineItem>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QRubberBand>
#include <QScatterSeries>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace PreviewParts;

PreviewWindow::PreviewWindow(const Catalogue &catalogue, const clsIniFile &langIni, QWidget *parent)
    : QWidget(parent, Qt::Window), m_catalogue(catalogue), m_langIni(langIni)
{
    setObjectName(section());

    // The chart: one position curve per axis and the marks, on a time axis
    // this window ranges itself.
    m_chart = new QChart;
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->legend()->setAlignment(Qt::AlignTop);
    m_timeAxis = new QValueAxis(m_chart);
    m_positionAxis = new QValueAxis(m_chart);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_positionAxis, Qt::AlignLeft);
    // Fixed colours, so that an axis keeps its colour whatever is shown.
    static const QColor curveColours[kAxes] = {QColor(32, 120, 200), QColor(60, 160, 60), QColor(230, 140, 20)};
    for (int a = 0; a < kAxes; ++a) {
        m_series[a] = new QLineSeries(this);
        m_series[a]->setPen(QPen(curveColours[a], 2));
    }
    m_outputMarks = new QScatterSeries(this);
    m_outputMarks->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    m_outputMarks->setMarkerSize(10);
    m_outputMarks->setColor(QColor(200, 30, 30));
    m_outputMarks->setBorderColor(QColor(120, 0, 0));
    m_waitMarks = new QScatterSeries(this);
    m_waitMarks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    m_waitMarks->setMarkerSize(8);
    m_waitMarks->setColor(QColor(110, 110, 110));
    m_waitMarks->setBorderColor(QColor(40, 40, 40));
    m_cursorLine = new QGraphicsLineItem(m_chart);
    m_cursorLine->setPen(QPen(palette().color(QPalette::WindowText), 0, Qt::DashLine));
    m_cursorLine->setZValue(100);
    m_cursorLine->hide();

    m_view = new QChartView(m_chart);
    m_view->setObjectName(QStringLiteral("chartView"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setFocusPolicy(Qt::StrongFocus);
    m_view->setMinimumSize(400, 240);
    m_view->viewport()->setMouseTracking(true);
    m_view->viewport()->installEventFilter(this);
    m_view->installEventFilter(this);
    m_band = new QRubberBand(QRubberBand::Rectangle, m_view->viewport());
    m_cursorLabel = new QLabel(m_view->viewport());
    m_cursorLabel->setObjectName(QStringLiteral("lblCursor"));
    m_cursorLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_cursorLabel->setFrameShape(QFrame::Box);
    m_cursorLabel->setAutoFillBackground(true);
    m_cursorLabel->setBackgroundRole(QPalette::ToolTipBase);
    m_cursorLabel->setForegroundRole(QPalette::ToolTipText);
    m_cursorLabel->setMargin(3);
    m_cursorLabel->hide();
    // A new plot size spaces the marks anew.
    m_relayout.setSingleShot(true);
    m_relayout.setInterval(0);
    connect(&m_relayout, &QTimer::timeout, this, &PreviewWindow::redraw);
    connect(m_chart, &QChart::plotAreaChanged, this, [this] {
        hideCursor();
        m_relayout.start();
    });

    m_resetZoom = new QPushButton;
    m_resetZoom->setObjectName(QStringLiteral("cmdResetZoom"));
    m_resetZoom->setAutoDefault(false);
    connect(m_resetZoom, &QPushButton::clicked, this, &PreviewWindow::resetZoom);
    m_hint = new QLabel;
    m_hint->setWordWrap(true);
    m_note = new QLabel;
    m_note->setObjectName(QStringLiteral("lblNote"));
    m_note->setWordWrap(true);
    m_note->hide();

    auto *chartPart = new QWidget;
    auto *chartLayout = new QVBoxLayout(chartPart);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    auto *tools = new QHBoxLayout;
    tools->addWidget(m_resetZoom);
    tools->addWidget(m_hint, 1);
    chartLayout->addLayout(tools);
    chartLayout->addWidget(m_view, 1);
    chartLayout->addWidget(m_note);

    // Below it the summary beside the tabs: the steps, the assumptions and
    // the model.
    m_summaryHeading = new QLabel;
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);
    m_summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_summaryHeading->setBuddy(m_summary);
    auto *summaryScroll = new QScrollArea;
    summaryScroll->setWidgetResizable(true);
    summaryScroll->setFrameShape(QFrame::NoFrame);
    summaryScroll->setWidget(m_summary);
    auto *summaryPart = new QWidget;
    auto *summaryLayout = new QVBoxLayout(summaryPart);
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    summaryLayout->addWidget(m_summaryHeading);
    summaryLayout->addWidget(summaryScroll, 1);

    m_steps = new QTableWidget(0, 4);
    m_steps->setObjectName(QStringLiteral("tblSteps"));
    m_steps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_steps->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_steps->verticalHeader()->hide();
    connect(m_steps, &QTableWidget::cellActivated, this, [this](int row, int) { emit stepChosen(row + 1); });
    m_model = new QTextBrowser;
    m_model->setObjectName(QStringLiteral("txtModel"));
    m_tabs = new QTabWidget;
    m_tabs->addTab(m_steps, QString());
    m_tabs->addTab(buildAssumptions(), QString());
    m_tabs->addTab(m_model, QString());

    auto *lower = new QSplitter(Qt::Horizontal);
    lower->addWidget(summaryPart);
    lower->addWidget(m_tabs);
    lower->setStretchFactor(0, 2);
    lower->setStretchFactor(1, 3);
    lower->setSizes({400, 600});
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(chartPart);
    split->addWidget(lower);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({470, 290});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split);
    resize(1000, 760);

    m_pause.setSingleShot(true);
    m_pause.setInterval(300);
    connect(&m_pause, &QTimer::timeout, this, &PreviewWindow::estimateNow);
    setAxisCount(1);
    showOptions();
    applyTexts();
    estimateNow();
}

QWidget *PreviewWindow::buildAssumptions()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    for (size_t c = 0; c < m_assumptionHeads.size(); ++c) {
        m_assumptionHeads[c] = new QLabel;
        grid->addWidget(m_assumptionHeads[c], 0, int(c));
    }
    // The spin boxes take what D: may set.
    const QStringList ranges = m_catalogue.list(Catalogue::D, Catalogue::Ranges);
    auto bound = [&](int i, double fallback) {
        const QString entry = ranges.value(i);
        const double v = entry.isEmpty() ? fallback : Catalogue::rangeBound(entry, u'A');
        return int(std::clamp(v, 0.0, 999999999.0));
    };
    auto spin = [&](const QString &name, int a, int lo, int hi) {
        auto *box = new QSpinBox;
        box->setObjectName(name + QString::number(a + 1));
        box->setRange(std::min(lo, hi), std::max(lo, hi));
        box->setKeyboardTracking(false);
        connect(box, &QSpinBox::valueChanged, this, &PreviewWindow::readOptions);
        return box;
    };
    for (int a = 0; a < kAxes; ++a) {
        m_axisNames[a] = new QLabel;
        m_startSpeed[a] = spin(QStringLiteral("spnStartSpeed"), a, bound(0, 1), bound(1, 999999999));
        m_maxSpeed[a] = spin(QStringLiteral("spnMaxSpeed"), a, bound(2, 1), bound(3, 999999999));
        m_accelTime[a] = spin(QStringLiteral("spnAccelTime"), a, bound(4, 0), bound(5, 9999999));
        m_input[a] = new QComboBox;
        m_input[a]->setObjectName(QStringLiteral("cboInput%1").arg(a + 1));
        m_input[a]->addItems({QStringLiteral("0"), QStringLiteral("1")});
        connect(m_input[a], &QComboBox::currentIndexChanged, this, &PreviewWindow::readOptions);
        m_axisNames[a]->setBuddy(m_startSpeed[a]);
        grid->addWidget(m_axisNames[a], a + 1, 0);
        grid->addWidget(m_startSpeed[a], a + 1, 1);
        grid->addWidget(m_maxSpeed[a], a + 1, 2);
        grid->addWidget(m_accelTime[a], a + 1, 3);
        grid->addWidget(m_input[a], a + 1, 4);
    }
    m_assumptionNote = new QLabel;
    m_assumptionNote->setWordWrap(true);
    grid->addWidget(m_assumptionNote, kAxes + 1, 0, 1, 5);
    m_defaults = new QPushButton;
    m_defaults->setObjectName(QStringLiteral("cmdDefaults"));
    m_defaults->setAutoDefault(false);
    connect(m_defaults, &QPushButton::clicked, this, [this] {
        MotionPreview::Options o = m_options;
        const MotionPreview::Options fresh;
        o.profiles = fresh.profiles;
        o.inputs = fresh.inputs;
        setOptions(o);
    });
    grid->addWidget(m_defaults, kAxes + 2, 0, 1, 2, Qt::AlignLeft);
    grid->setRowStretch(kAxes + 3, 1);
    grid->setColumnStretch(5, 1);
    return page;
}

PreviewWindow::~PreviewWindow()
{
    // The chart goes with the child widgets, after this object's own part.
    m_chart->disconnect(this);
}

QString PreviewWindow::text(const char *key) const
{
    // Without the key the window still works and shows which one it lacks.
    return m_langIni.GetINIStr(section(), QLatin1String(key), QLatin1String(key));
}

QString PreviewWindow::format(const char *key) const
{
    return m_langIni.GetINIStr(section(), QLatin1String(key),
                               QLatin1String(key) + QStringLiteral(" %1 %2 %3 %4 %5"));
}

void PreviewWindow::applyTexts()
{
    updateTitle();
    m_resetZoom->setText(text("Cap001"));
    m_hint->setText(text("Cap021"));
    m_timeAxis->setTitleText(text("Cap002"));
    m_positionAxis->setTitleText(text("Cap003"));
    for (int a = 1; a <= kAxes; ++a)
        m_series[a - 1]->setName(format("Cap004").arg(axisLetter(a)));
    m_outputMarks->setName(text("Cap005"));
    m_waitMarks->setName(text("Cap006"));
    m_view->setAccessibleName(text("Cap023"));
    m_summaryHeading->setText(text("Cap007"));
    m_summary->setAccessibleName(text("Cap007"));
    m_tabs->setTabText(0, text("Cap008"));
    m_tabs->setTabText(1, text("Cap009"));
    m_tabs->setTabText(2, text("Cap010"));
    m_steps->setHorizontalHeaderLabels({text("Cap011"), text("Cap012"), text("Cap013"), text("Cap014")});
    m_steps->setAccessibleName(text("Cap008"));
    m_model->setAccessibleName(text("Cap010"));
    static const char *const heads[] = {"Cap015", "Cap016", "Cap017", "Cap018", "Cap019"};
    for (size_t c = 0; c < m_assumptionHeads.size(); ++c)
        m_assumptionHeads[c]->setText(text(heads[c]));
    for (int a = 1; a <= kAxes; ++a) {
        const QString axis = format("Cap004").arg(axisLetter(a));
        m_axisNames[a - 1]->setText(axis);
        m_startSpeed[a - 1]->setAccessibleName(axis + QStringLiteral(": ") + text("Cap016"));
        m_maxSpeed[a - 1]->setAccessibleName(axis + QStringLiteral(": ") + text("Cap017"));
        m_accelTime[a - 1]->setAccessibleName(axis + QStringLiteral(": ") + text("Cap018"));
        m_input[a - 1]->setAccessibleName(axis + QStringLiteral(": ") + text("Cap019"));
    }
    m_assumptionNote->setText(text("Cap022"));
    m_defaults->setText(text("Cap020"));

    // The model, one paragraph a key.
    QString model;
    for (int n = 1; n <= kMaxModelParagraphs; ++n) {
        QString paragraph = m_langIni.GetINIStr(section(), clsIniFile::numberedKey(u"Mod", n));
        if (paragraph.isEmpty())
            break;
        if (paragraph.contains(QLatin1String("%1")))
            paragraph = paragraph.arg(m_options.stepBudget);
        model += QStringLiteral("<p>%1</p>").arg(paragraph.toHtmlEscaped());
    }
    m_model->setHtml(model);
    fillSummary();
}

void PreviewWindow::updateTitle()
{
    setWindowTitle(m_document ? format("Title002").arg(m_document->caption()) : text("Title001"));
}

void PreviewWindow::follow(ProgramDocument *document, int axes)
{
    axes = std::clamp(axes, 1, kAxes);
    if (document == m_document && axes == m_axes)
        return;
    for (const QMetaObject::Connection &c : std::as_const(m_watch))
        disconnect(c);
    m_watch.clear();
    m_document = document;
    setAxisCount(axes);
    if (document) {
        const auto later = [this] { m_pause.start(); };
        m_watch = document->watchEdits(this, later);
        m_watch << connect(document, &ProgramDocument::captionChanged, this, &PreviewWindow::updateTitle)
                << connect(document, &QObject::destroyed, this, later);
    }
    updateTitle();
    // A new program is shown whole.
    m_viewStart = 0;
    m_viewEnd = std::numeric_limits<double>::infinity();
    estimateNow();
}

ProgramDocument *PreviewWindow::document() const
{
    return m_document;
}

void PreviewWindow::setAxisCount(int axes)
{
    m_axes = axes;
    // The marks come after the curves, in the legend too.
    for (QScatterSeries *marks : {m_outputMarks, m_waitMarks}) {
        if (m_chart->series().contains(marks)) {
            m_chart->removeSeries(marks);
            marks->setParent(this);
        }
    }
    for (int a = 0; a < kAxes; ++a) {
        QLineSeries *series = m_series[a];
        const bool shown = m_chart->series().contains(series);
        if (a < axes && !shown) {
            m_chart->addSeries(series);
            series->attachAxis(m_timeAxis);
            series->attachAxis(m_positionAxis);
        } else if (a >= axes && shown) {
            m_chart->removeSeries(series);
            series->setParent(this);
        }
        for (QWidget *w : std::initializer_list<QWidget *>{m_axisNames[a], m_startSpeed[a], m_maxSpeed[a],
                                                           m_accelTime[a], m_input[a]})
            w->setVisible(a < axes);
    }
    for (QScatterSeries *marks : {m_outputMarks, m_waitMarks}) {
        m_chart->addSeries(marks);
        marks->attachAxis(m_timeAxis);
        marks->attachAxis(m_positionAxis);
    }
}

QLineSeries *PreviewWindow::axisSeries(int axis) const
{
    return axis >= 1 && axis <= m_axes ? m_series[axis - 1] : nullptr;
}

void PreviewWindow::setOptions(const MotionPreview::Options &options)
{
    m_options = options;
    showOptions();
    m_pause.start();
}

void PreviewWindow::showOptions()
{
    for (int a = 0; a < kAxes; ++a) {
        const MotionPreview::Profile &p = m_options.profiles[a];
        for (auto [box, value] : {std::pair(m_startSpeed[a], p.startSpeed), std::pair(m_maxSpeed[a], p.maxSpeed),
                                  std::pair(m_accelTime[a], p.accelTime)}) {
            const QSignalBlocker quiet(box);
            box->setValue(int(std::lround(value)));
        }
        const QSignalBlocker quiet(m_input[a]);
        m_input[a]->setCurrentIndex(m_options.inputs[a] ? 1 : 0);
    }
}

void PreviewWindow::readOptions()
{
    for (int a = 0; a < kAxes; ++a) {
        m_options.profiles[a] = {double(m_startSpeed[a]->value()), double(m_maxSpeed[a]->value()),
                                 double(m_accelTime[a]->value())};
        m_options.inputs[a] = m_input[a]->currentIndex();
    }
    m_pause.start();
}

void PreviewWindow::estimateNow()
{
    m_pause.stop();
    updateTitle();
    // Zoomed in, the span stays in view as far as the new run reaches.
    const bool whole = m_viewStart <= 0 && m_viewEnd >= fullEnd();
    m_result = m_document ? MotionPreview::run(m_catalogue, m_axes, m_document->steps(), m_options)
                          : MotionPreview::Result();
    m_result.axisCount = m_axes;
    indexResult();

    // Positions: the whole run's range, whatever the span in view.
    double low = 0, high = 0;
    for (int a = 0; a < m_axes; ++a) {
        low = std::min(low, m_result.startPosition[a]);
        high = std::max(high, m_result.startPosition[a]);
    }
    for (const Move &m : std::as_const(m_result.moves)) {
        low = std::min({low, m.from, m.to});
        high = std::max({high, m.from, m.to});
    }
    const double margin = high > low ? (high - low) * 0.05 : 1;
    m_positionAxis->setRange(low - margin, high + margin);
    roundTicks(m_positionAxis, low - margin, high + margin);

    fillSummary();
    fillSteps();
    hideCursor();
    if (whole || m_viewStart >= fullEnd())
        resetZoom();
    else
        showSpan(m_viewStart, m_viewEnd);
}

void PreviewWindow::indexResult()
{
    for (QList<qint32> &list : m_axisMoves)
        list.clear();
    for (qint32 i = 0; i < m_result.moves.size(); ++i) {
        const int axis = m_result.moves.at(i).axis;
        if (axis >= 1 && axis <= kAxes)
            m_axisMoves[axis - 1].append(i);
    }
}

double PreviewWindow::fullEnd() const
{
    return m_result.cycleTime > 0 ? m_result.cycleTime : 1.0;
}

QString PreviewWindow::summaryText() const
{
    return m_summary->text();
}

void PreviewWindow::fillSummary()
{
    if (!m_document) {
        m_summary->setText(text("Mes013"));
        return;
    }
    const Result &r = m_result;
    QStringList lines;
    lines << format("Mes001").arg(seconds(r.cycleTime)) << format("Mes002").arg(r.executed.size());
    QStringList ends;
    for (int a = 1; a <= m_axes; ++a)
        ends << QStringLiteral("%1 %2").arg(axisLetter(a)).arg(NumberText::shortest(r.endPosition[a - 1]));
    lines << format("Mes003").arg(ends.join(QStringLiteral(", ")));
    for (const MotionPreview::LoopCount &loop : r.loops)
        lines << format("Mes004")
                     .arg(stepText(loop.step), stepText(loop.returnStep))
                     .arg(loop.count)
                     .arg(loop.repeats)
                     .arg(loop.completions);
    switch (r.stopReason) {
    case MotionPreview::StopReason::ProgramEnd:
        lines << format("Mes005").arg(stepText(r.stopStep));
        break;
    case MotionPreview::StopReason::PastLastStep:
        lines << (r.stopStep < 0 ? text("Mes007") : format("Mes006").arg(stepText(r.stopStep)));
        break;
    case MotionPreview::StopReason::StepBudget:
        if (r.repeatStep < 0)
            lines << format("Mes009").arg(r.executed.size());
        else
            lines << format("Mes008")
                         .arg(r.executed.size())
                         .arg(stepText(r.repeatStep), seconds(r.repeatPeriod))
                         .arg(r.repeatLength);
        break;
    }
    m_summary->setText(lines.join(u'\n'));
}

void PreviewWindow::fillSteps()
{
    const QList<MotionPreview::StepTotal> &totals = m_result.stepTotals;
    m_steps->setRowCount(int(totals.size()));
    const double cycle = m_result.cycleTime;
    auto cell = [this](int row, int column, const QString &value) {
        QTableWidgetItem *item = m_steps->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            item->setTextAlignment(column == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
            m_steps->setItem(row, column, item);
        }
        item->setText(value);
    };
    for (int s = 0; s < totals.size(); ++s) {
        const MotionPreview::StepTotal &t = totals.at(s);
        cell(s, 0, stepText(s));
        cell(s, 1, QString::number(t.runs));
        cell(s, 2, seconds(t.time));
        cell(s, 3, QString::number(cycle > 0 ? 100 * t.time / cycle : 0.0, 'f', 1));
    }
    m_steps->resizeColumnsToContents();
}
