#pragma once

#include <functional>

namespace kpx::forms {

// The smallest size a translated text is ever drawn at. Below it a caption is no longer read at a
// glance by a participant at arm's length; a text that needs less is a layout fault to be seen.
inline constexpr double FloorPoints = 8.0;

// The ink a text needs at a size, in the same units as the box it must fit: its width and height.
struct Extent
{
    double width = 0;
    double height = 0;
};

// Measures the caption at a point size, as the front-end draws it (wrapped within `boxWidth` for a
// wrapping label, on one line otherwise).
using Measure = std::function<Extent(double points)>;

// The size a caption is drawn at: the layout's own when the text fits its box there; otherwise the
// largest whole-point size below it that fits, never below FloorPoints (the floor is returned when even
// it does not fit). Sizes are whole points because the layouts are designed in whole points.
double fitPoints(double designPoints, double boxWidth, double boxHeight, const Measure &measure);

} // namespace kpx::forms
