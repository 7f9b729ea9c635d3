#pragma once

#include <QPixmap>
#include <QSize>

#include <array>

class QPainter;
class QRect;

// The shared image list of the 17 command icons: icon n belongs to command
// n. One instance lives for the whole run, so grids can be built and cells
// drawn whether or not the command table window is open.
class CommandIcons
{
public:
    static constexpr int kCount = 17;

    CommandIcons();

    // The size every icon has, in device-independent pixels.
    QSize size() const { return m_size; }
    // The icon of a command at the given device pixel ratio; a null pixmap
    // for 0 or a number out of range.
    QPixmap pixmap(int cmd, qreal devicePixelRatio = 1.0) const;
    // Draws the icon centred in the rectangle.
    void paint(QPainter *painter, const QRect &rect, int cmd) const;

private:
    QSize m_size{32, 32};
    mutable std::array<QPixmap, kCount + 1> m_cache;
};
