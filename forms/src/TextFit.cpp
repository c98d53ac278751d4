#include "forms/TextFit.h"

#include <cmath>

namespace kpx::forms {

namespace {

bool fits(const Extent &ink, double boxWidth, double boxHeight)
{
    return ink.width <= boxWidth && ink.height <= boxHeight;
}

} // namespace

double fitPoints(double designPoints, double boxWidth, double boxHeight, const Measure &measure)
{
    if (designPoints <= FloorPoints || fits(measure(designPoints), boxWidth, boxHeight))
        return designPoints;
    // A fractional design size steps down to the whole point below it first.
    double points = std::ceil(designPoints) - 1.0;
    for (; points > FloorPoints; points -= 1.0)
        if (fits(measure(points), boxWidth, boxHeight))
            return points;
    return FloorPoints;
}

} // namespace kpx::forms
