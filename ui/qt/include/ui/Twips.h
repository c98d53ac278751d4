#pragma once

#include "forms/DisplayFit.h"
#include "forms/Layout.h"

#include <QRect>
#include <QSize>

#include <cmath>

namespace kpx {

// A layout measure in pixels.
constexpr int fromTwips(int twips)
{
    return forms::toPixels(twips);
}

// A layout rectangle in pixels.
constexpr QRect fromTwips(const forms::Rect &rect)
{
    return QRect(fromTwips(rect.left), fromTwips(rect.top), fromTwips(rect.width), fromTwips(rect.height));
}

constexpr QSize fromTwips(const forms::Size &size)
{
    return QSize(fromTwips(size.width), fromTwips(size.height));
}

// The fit of a layout to a display given in device pixels, for widgets placed in device-independent
// pixels of that ratio. It is worked out in those pixels, over the area taken inward to whole ones, so
// that no rounding of a place or a measure can put a control past the area's edge.
inline forms::Fit fitForWidgets(const forms::Rect &extent, const forms::Display &display, qreal devicePixelRatio)
{
    const forms::Rect &area = display.available;
    const int left = static_cast<int>(std::ceil(area.left / devicePixelRatio));
    const int top = static_cast<int>(std::ceil(area.top / devicePixelRatio));
    const int right = static_cast<int>(std::floor((area.left + area.width) / devicePixelRatio));
    const int bottom = static_cast<int>(std::floor((area.top + area.height) / devicePixelRatio));
    const int dpi = display.dpi > 0 ? display.dpi : forms::DesignDpi;
    return forms::fitLayout(extent, {{left, top, right - left, bottom - top},
                                     static_cast<int>(std::lround(dpi / devicePixelRatio))});
}

} // namespace kpx
