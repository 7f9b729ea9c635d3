// The chart of the motion preview window: the curves sampled for the span
// in view, the marks, the cursor, zoom and pan.

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

namespace {

// One axis's moves, in time order: they never overlap, so both their starts
// and their ends are sorted.
struct Track
{
    const Result &result;
    const QList<qint32> &moves;
    double startPosition;

    const Move &move(qsizetype i) const { return result.moves.at(moves.at(i)); }

    double at(double t) const
    {
        const auto it = std::upper_bound(moves.cbegin(), moves.cend(), t, [this](double time, qint32 m) {
            return time < result.moves.at(m).start;
        });
        return it == moves.cbegin() ? startPosition : result.moves.at(*(it - 1)).positionAt(t);
    }
    // The moves that overlap [t0, t1): [first, last).
    std::pair<qsizetype, qsizetype> within(double t0, double t1) const
    {
        const auto first = std::upper_bound(moves.cbegin(), moves.cend(), t0, [this](double time, qint32 m) {
            return time < result.moves.at(m).end;
        });
        const auto last = std::lower_bound(first, moves.cend(), t1, [this](qint32 m, double time) {
            return result.moves.at(m).start < time;
        });
        return {first - moves.cbegin(), last - moves.cbegin()};
    }
};

// Every move in [t0, t1] with its ramps and corners.
QList<QPointF> detailed(const Track &track, qsizetype first, qsizetype last, double t0, double t1)
{
    QList<QPointF> points;
    points.reserve((last - first) * kPointsPerMove + 2);
    points.append({t0, track.at(t0)});
    for (qsizetype i = first; i < last; ++i) {
        const Move &m = track.move(i);
        auto add = [&](double t) {
            if (t > t0 && t < t1)
                points.append({t, m.positionAt(t)});
        };
        auto ramp = [&](double from, double to) {
            for (int k = 1; k < kRampSamples; ++k)
                add(from + (to - from) * k / kRampSamples);
        };
        add(m.start);
        ramp(m.start, m.accelEnd);
        if (m.accelEnd > m.start)
            add(m.accelEnd);
        if (m.cruiseEnd > m.accelEnd)
            add(m.cruiseEnd);
        ramp(m.cruiseEnd, m.end);
        add(m.end);
    }
    points.append({t1, track.at(t1)});
    return points;
}

// [t0, t1] cut into `slices`, each drawn as its lowest and highest position
// in the order they occur. Between the corners of the moves (their starts
// and ends) an axis only keeps still or goes one way, so those corners and
// the slice edges hold every extreme.
QList<QPointF> outline(const Track &track, qsizetype first, qsizetype last, double t0, double t1, int slices)
{
    QList<QPointF> corners;
    corners.reserve(2 * (last - first));
    for (qsizetype i = first; i < last; ++i) {
        const Move &m = track.move(i);
        corners.append({m.start, m.from});
        corners.append({m.end, m.to});
    }
    QList<QPointF> points;
    points.reserve(2 * slices + 2);
    points.append({t0, track.at(t0)});
    const double width = (t1 - t0) / slices;
    qsizetype c = 0;
    QPointF edge = points.first();
    for (int s = 0; s < slices; ++s) {
        const double end = s + 1 == slices ? t1 : t0 + width * (s + 1);
        const QPointF next(end, track.at(end));
        QPointF low = edge.y() <= next.y() ? edge : next;
        QPointF high = edge.y() <= next.y() ? next : edge;
        for (; c < corners.size() && corners.at(c).x() < end; ++c) {
            const QPointF &p = corners.at(c);
            if (p.x() <= edge.x())
                continue;
            if (p.y() < low.y())
                low = p;
            if (p.y() > high.y())
                high = p;
        }
        if (low.x() <= high.x())
            points << low << high;
        else
            points << high << low;
        edge = next;
    }
    points.append(edge);
    return points;
}

} // namespace

void PreviewWindow::resetZoom()
{
    showSpan(0, fullEnd());
}

void PreviewWindow::showSpan(double start, double end)
{
    const double full = fullEnd();
    const double least = std::max(full * 1e-6, 1e-6);
    if (!std::isfinite(start) || !std::isfinite(end))
        start = 0, end = full;
    if (end < start)
        std::swap(start, end);
    const double span = std::clamp(end - start, std::min(least, full), full);
    start = std::clamp(start, 0.0, full - span);
    m_viewStart = start;
    m_viewEnd = span >= full ? full : start + span;
    roundTicks(m_timeAxis, m_viewStart, m_viewEnd);
    m_timeAxis->setRange(m_viewStart, m_viewEnd);
    m_resetZoom->setEnabled(m_viewStart > 0 || m_viewEnd < full);
    redraw();
}

void PreviewWindow::redraw()
{
    const double t0 = m_viewStart, t1 = m_viewEnd;
    qsizetype outlined = 0;
    for (int a = 0; a < kAxes; ++a) {
        if (a >= m_axes || !m_document) {
            m_series[a]->clear();
            continue;
        }
        const Track track{m_result, m_axisMoves[a], m_result.startPosition[a]};
        const auto [first, last] = track.within(t0, t1);
        if ((last - first) * kPointsPerMove + 2 <= kMaxPoints) {
            m_series[a]->replace(detailed(track, first, last, t0, t1));
        } else {
            m_series[a]->replace(outline(track, first, last, t0, t1, kMaxPoints / 2 - 1));
            outlined = std::max(outlined, last - first);
        }
    }

    // The marks in view, on the curve of their cell's axis. Of the marks of
    // one kind and axis closer than kMarkSpacing pixels the first is drawn.
    const auto &marks = m_result.marks;
    const auto from = std::lower_bound(marks.cbegin(), marks.cend(), t0,
                                       [](const MotionPreview::Mark &m, double t) { return m.time < t; });
    const auto to = std::upper_bound(from, marks.cend(), t1,
                                     [](double t, const MotionPreview::Mark &m) { return t < m.time; });
    std::array<QList<QPointF>, 2> points;
    const double width = m_chart->plotArea().width() > 0 ? m_chart->plotArea().width() : 1000;
    const double slotTime = (t1 - t0) * kMarkSpacing / width;
    std::array<std::array<double, kAxes>, 2> lastSlot;
    for (auto &perAxis : lastSlot)
        perAxis.fill(-1);
    for (auto it = from; it != to; ++it) {
        const int kind = it->kind == MotionPreview::Mark::Kind::Output ? 0 : 1;
        const int axis = std::clamp(int(it->axis), 1, kAxes);
        const double slot = std::floor((it->time - t0) / slotTime);
        if (slot != lastSlot[kind][axis - 1]) {
            lastSlot[kind][axis - 1] = slot;
            points[kind].append({it->time, m_result.positionAt(axis, it->time)});
        }
    }
    m_outputMarks->replace(points[0]);
    m_waitMarks->replace(points[1]);

    QStringList notes;
    if (outlined > 0)
        notes << format("Mes011").arg(outlined);
    const qsizetype marksInView = to - from;
    const qsizetype marksDrawn = points[0].size() + points[1].size();
    if (marksDrawn < marksInView)
        notes << format("Mes012").arg(marksInView).arg(marksDrawn);
    m_note->setText(notes.join(u'\n'));
    m_note->setVisible(!notes.isEmpty());
}

int PreviewWindow::rowAt(double t) const
{
    const auto &executed = m_result.executed;
    // The last step begun by t: the steps of no time that share its start
    // come before it.
    const auto it = std::upper_bound(executed.cbegin(), executed.cend(), t,
                                     [](double time, const MotionPreview::ExecutedStep &e) { return time < e.start; });
    if (it == executed.cbegin())
        return executed.isEmpty() ? 0 : executed.first().step + 1;
    return (it - 1)->step + 1;
}

QRectF PreviewWindow::plotRectInView() const
{
    const QRectF area = m_chart->plotArea();
    return m_view->mapFromScene(m_chart->mapToScene(area)).boundingRect();
}

bool PreviewWindow::timeAtViewPoint(const QPoint &point, double *t) const
{
    const QRectF plot = plotRectInView();
    if (!m_document || plot.width() <= 0 || !plot.adjusted(0, 0, 1, 1).contains(point))
        return false;
    *t = m_viewStart + (point.x() - plot.left()) / plot.width() * (m_viewEnd - m_viewStart);
    *t = std::clamp(*t, m_viewStart, m_viewEnd);
    return true;
}

QString PreviewWindow::cursorText() const
{
    return m_cursorLabel->isVisible() ? m_cursorLabel->text() : QString();
}

void PreviewWindow::moveCursor(const QPoint &point)
{
    double t = 0;
    const int row = timeAtViewPoint(point, &t) ? rowAt(t) : 0;
    if (row <= 0) {
        hideCursor();
        return;
    }
    QStringList lines{format("Mes010").arg(seconds(t), stepText(row - 1))};
    for (int a = 1; a <= m_axes; ++a)
        lines << QStringLiteral("%1: %2").arg(axisLetter(a)).arg(
                     NumberText::shortest(std::round(m_result.positionAt(a, t))));
    // What the step marks: its outputs and its wait.
    const auto &executed = m_result.executed;
    const auto step = std::upper_bound(executed.cbegin(), executed.cend(), t,
                                       [](double time, const MotionPreview::ExecutedStep &e) { return time < e.start; });
    const qint32 index = qint32(step - executed.cbegin()) - 1;
    const auto &marks = m_result.marks;
    for (auto it = std::lower_bound(marks.cbegin(), marks.cend(), index,
                                    [](const MotionPreview::Mark &m, qint32 i) { return m.executed < i; });
         it != marks.cend() && it->executed == index; ++it) {
        if (it->kind == MotionPreview::Mark::Kind::Wait) {
            lines << format("Mes015").arg(seconds(it->duration));
        } else {
            QStringList outputs;
            for (qint8 o : it->outputs)
                outputs << QString::number(o);
            lines << format("Mes014").arg(outputs.join(u','));
        }
    }
    m_cursorLabel->setText(lines.join(u'\n'));
    m_cursorLabel->adjustSize();

    const QRectF plot = plotRectInView();
    const QPointF top = m_chart->mapFromScene(m_view->mapToScene(QPoint(point.x(), int(plot.top()))));
    const QRectF area = m_chart->plotArea();
    m_cursorLine->setLine(top.x(), area.top(), top.x(), area.bottom());
    m_cursorLine->show();
    // Beside the line, on the side with room.
    QPoint at(point.x() + 12, int(plot.top()) + 6);
    if (at.x() + m_cursorLabel->width() > plot.right())
        at.setX(point.x() - 12 - m_cursorLabel->width());
    m_cursorLabel->move(at);
    m_cursorLabel->show();
    m_cursorLabel->raise();
}

void PreviewWindow::hideCursor()
{
    m_cursorLine->hide();
    m_cursorLabel->hide();
}

void PreviewWindow::zoomAbout(double t, double factor)
{
    showSpan(t - (t - m_viewStart) * factor, t + (m_viewEnd - t) * factor);
}

void PreviewWindow::panBy(double dt)
{
    const double span = m_viewEnd - m_viewStart;
    const double start = std::clamp(m_viewStart + dt, 0.0, std::max(0.0, fullEnd() - span));
    showSpan(start, start + span);
}

bool PreviewWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const double span = m_viewEnd - m_viewStart;
        switch (key->key()) {
        case Qt::Key_Left:
            panBy(-kKeyPan * span);
            return true;
        case Qt::Key_Right:
            panBy(kKeyPan * span);
            return true;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomAbout(m_viewStart + span / 2, kWheelZoom);
            return true;
        case Qt::Key_Minus:
            zoomAbout(m_viewStart + span / 2, 1 / kWheelZoom);
            return true;
        case Qt::Key_Home:
            resetZoom();
            return true;
        default:
            return false;
        }
    }
    if (watched != m_view->viewport())
        return false;

    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        m_view->setFocus(Qt::MouseFocusReason);
        m_pressPoint = m_lastPoint = mouse->position().toPoint();
        double t = 0;
        if (!timeAtViewPoint(m_pressPoint, &t))
            m_drag = Drag::None;
        else if (mouse->button() == Qt::LeftButton)
            m_drag = Drag::Pending;
        else if (mouse->button() == Qt::RightButton || mouse->button() == Qt::MiddleButton)
            m_drag = Drag::Pan;
        return true;
    }
    case QEvent::MouseMove: {
        const QPoint point = static_cast<QMouseEvent *>(event)->position().toPoint();
        if (m_drag == Drag::Pending
            && (point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance())
            m_drag = Drag::Band;
        if (m_drag == Drag::Band) {
            const QRectF plot = plotRectInView();
            const int left = std::clamp(std::min(point.x(), m_pressPoint.x()), int(plot.left()), int(plot.right()));
            const int right = std::clamp(std::max(point.x(), m_pressPoint.x()), int(plot.left()), int(plot.right()));
            m_band->setGeometry(QRect(QPoint(left, int(plot.top())), QPoint(right, int(plot.bottom()))));
            m_band->show();
        } else if (m_drag == Drag::Pan) {
            const QRectF plot = plotRectInView();
            if (plot.width() > 0)
                panBy(-(point.x() - m_lastPoint.x()) / plot.width() * (m_viewEnd - m_viewStart));
        }
        m_lastPoint = point;
        moveCursor(point);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const QPoint point = static_cast<QMouseEvent *>(event)->position().toPoint();
        const Drag drag = std::exchange(m_drag, Drag::None);
        m_band->hide();
        double t = 0, u = 0;
        if (drag == Drag::Pending && timeAtViewPoint(point, &t)) {
            if (const int row = rowAt(t); row > 0)
                emit stepChosen(row);
        } else if (drag == Drag::Band && std::abs(point.x() - m_pressPoint.x()) >= 3) {
            const QRectF plot = plotRectInView();
            const QPoint a(std::clamp(m_pressPoint.x(), int(plot.left()), int(plot.right())), int(plot.center().y()));
            const QPoint b(std::clamp(point.x(), int(plot.left()), int(plot.right())), int(plot.center().y()));
            if (timeAtViewPoint(a, &t) && timeAtViewPoint(b, &u))
                showSpan(std::min(t, u), std::max(t, u));
        }
        moveCursor(point);
        return true;
    }
    case QEvent::Wheel: {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        double t = 0;
        const int delta = wheel->angleDelta().y();
        if (delta != 0 && timeAtViewPoint(wheel->position().toPoint(), &t)) {
            zoomAbout(t, std::pow(kWheelZoom, delta / 120.0));
            moveCursor(wheel->position().toPoint());
        }
        return true;
    }
    case QEvent::Leave:
        hideCursor();
        return false;
    default:
        return false;
    }
}
