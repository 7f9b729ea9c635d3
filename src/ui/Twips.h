#pragma once

#include <QPaintDevice>

#include <cmath>

// Sizes given in twips (1/1440 inch) turned into pixels at the screen's
// logical resolution.
namespace Twips {

inline int toPixelsX(double twips, const QPaintDevice *device)
{
    const int dpi = device ? device->logicalDpiX() : 96;
    return int(std::lround(twips * dpi / 1440.0));
}

inline int toPixelsY(double twips, const QPaintDevice *device)
{
    const int dpi = device ? device->logicalDpiY() : 96;
    return int(std::lround(twips * dpi / 1440.0));
}

} // namespace Twips
