#pragma once

// What the motion preview window's two halves share (the window in
// PreviewWindow.cpp, its chart in PreviewChart.cpp): its language section,
// its constants and the way it writes times, steps and axis ticks.

#include "program/MotionPreview.h"
#include "program/ProgramDocument.h"

#include <QString>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace PreviewParts {


using Move = MotionPreview::Move;
using Result = MotionPreview::Result;
constexpr int kAxes = MotionPreview::kMaxAxes;

inline QString section() { return QStringLiteral("Preview"); }

// Marks of one kind and axis are drawn at least this far apart [px].
constexpr double kMarkSpacing = 20;
// Samples inside each ramp of a move drawn in full.
constexpr int kRampSamples = 12;
constexpr int kPointsPerMove = 2 * kRampSamples + 4;
// The model text: keys Mod001 on, up to the first missing one.
constexpr int kMaxModelParagraphs = 40;
// A wheel step zooms the time axis by this factor; an arrow key pans it by
// this share of the span.
constexpr double kWheelZoom = 0.8;
constexpr double kKeyPan = 0.1;

inline QString seconds(double t) { return QString::number(t, 'f', 3); }

// A program step (0-based) as the grid labels it.
inline QString stepText(int step)
{
    return step >= 0 ? ProgramDocument::stepLabel(step + 1) : QString::number(step);
}

inline QChar axisLetter(int axis) { return QChar(u'A' + axis - 1); }

// Ticks at a round interval (1, 2 or 5 times a power of ten) giving about
// eight of them over [low, high], labelled with the decimals it needs.
inline void roundTicks(QValueAxis *axis, double low, double high)
{
    const double raw = std::max(high - low, 1e-9) / 8;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / power;
    const double interval = (norm < 1.5 ? 1 : norm < 3 ? 2 : norm < 7 ? 5 : 10) * power;
    const int decimals = std::clamp(int(std::ceil(-std::log10(interval) - 1e-9)), 0, 9);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(interval);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}


} // namespace PreviewParts
