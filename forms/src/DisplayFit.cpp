#include "forms/DisplayFit.h"

#include <algorithm>
#include <cmath>

namespace kpx::forms {

namespace {

int right(const Rect &r)
{
    return r.left + r.width;
}

int bottom(const Rect &r)
{
    return r.top + r.height;
}

bool inside(const Rect &r, const Rect &area)
{
    return r.left >= area.left && r.top >= area.top && right(r) <= right(area) && bottom(r) <= bottom(area);
}

} // namespace

int Fit::length(int twips) const
{
    // Whole dpi give exactly the integer conversion: the quotient of two whole numbers this small is
    // never within rounding of the next whole number.
    return static_cast<int>(std::floor(static_cast<double>(twips) * dpi / TwipsPerInch));
}

Rect unite(const Rect &a, const Rect &b)
{
    const int left = std::min(a.left, b.left);
    const int top = std::min(a.top, b.top);
    return {left, top, std::max(right(a), right(b)) - left, std::max(bottom(a), bottom(b)) - top};
}

Fit fitLayout(const Rect &extentTwips, const Display &display)
{
    // A display that reports no dpi is taken at the design's.
    const int dpi = display.dpi > 0 ? display.dpi : DesignDpi;
    Fit fit{static_cast<double>(dpi), 0, 0};
    if (inside(fit.place(extentTwips), display.available))
        return fit;
    if (extentTwips.width <= 0 || extentTwips.height <= 0 || display.available.width <= 0 || display.available.height <= 0)
        return {static_cast<double>(DesignDpi), 0, 0};
    // The largest dpi at which the extent's pixels fit the area, taken down to a thousandth of the
    // design scale so that the scale recorded is the one used; pixel edges are whole, so one more
    // step down when the rounding of both edges still overshoots.
    const double most = std::min(static_cast<double>(display.available.width) * TwipsPerInch / extentTwips.width,
                                 static_cast<double>(display.available.height) * TwipsPerInch / extentTwips.height);
    // Never larger than at the display's own dpi: a layout that only lies off the area is moved, not grown.
    const bool reduce = most < dpi;
    double thousandths = std::floor(most / DesignDpi * 1000.0);
    // The extent's own pixel box; its edges are where the controls' conversion puts them.
    int left = 0, top = 0, width = 0, height = 0;
    const auto measure = [&] {
        fit.dpi = reduce ? thousandths / 1000.0 * DesignDpi : static_cast<double>(dpi);
        left = fit.length(extentTwips.left);
        top = fit.length(extentTwips.top);
        width = fit.length(right(extentTwips)) - left;
        height = fit.length(bottom(extentTwips)) - top;
    };
    measure();
    while (reduce && thousandths > 1 && (width > display.available.width || height > display.available.height)) {
        thousandths -= 1;
        measure();
    }
    fit.offsetX = display.available.left + (display.available.width - width) / 2 - left;
    fit.offsetY = display.available.top + (display.available.height - height) / 2 - top;
    return fit;
}

Rect choiceWindowExtent()
{
    using Layout = TaskFormLayout;
    return unite(Layout::Label2.rect, unite(Layout::Frame1.rect, Layout::Frame2.rect));
}

Rect instructionsExtent()
{
    return unite(InstructLayout::Label1.rect, InstructLayout::Command1);
}

Rect breakMessageExtent()
{
    return MsgFormLayout::Client;
}

} // namespace kpx::forms
