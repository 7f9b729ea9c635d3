#pragma once

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace WindowPlacement {

// Moves a new document window wholly into the visible part of the area,
// left of the command table where that lies over the area, one title bar
// down and to the right of a document already in its place.
void fitIntoArea(QMdiArea *area, QMdiSubWindow *window, const QWidget *commandTable);

// Sizes the window to `share` of its screen in each direction, centred on it.
void centreOnScreen(QWidget *window, double share);

} // namespace WindowPlacement
