#include "forms/TextFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace kpx::forms {
namespace {

// A text whose ink grows with its size like a real face's: `chars` characters of 0.5 em each on one
// line, or wrapped into lines of the box's width for a wrapping label.
struct Case
{
    std::string name;
    double designPoints;
    double boxWidth;
    double boxHeight;
    int chars;
    bool wrapped;
    double expected;
};

Extent inkOf(const Case &c, double points)
{
    const double em = points;
    const double lineWidth = c.chars * 0.5 * em;
    if (!c.wrapped)
        return {lineWidth, 1.2 * em};
    const double perLine = std::floor(c.boxWidth / (0.5 * em));
    const double lines = std::ceil(c.chars / perLine);
    return {std::min(lineWidth, c.boxWidth), lines * 1.2 * em};
}

class TextFit : public testing::TestWithParam<Case>
{
};

TEST_P(TextFit, DrawsTheCaptionAtTheLargestSizeThatFits)
{
    const Case &c = GetParam();
    const double points = fitPoints(c.designPoints, c.boxWidth, c.boxHeight, [&c](double p) {
        return inkOf(c, p);
    });
    EXPECT_DOUBLE_EQ(points, c.expected);
    if (points > FloorPoints && points < c.designPoints)
    {
        // Largest: one point more would not have fitted.
        const Extent bigger = inkOf(c, points + 1.0);
        EXPECT_TRUE(bigger.width > c.boxWidth || bigger.height > c.boxHeight);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Captions, TextFit,
    testing::Values(
        // 10 chars at 12 pt: 60 wide, 14.4 high.
        Case{"AFittingTextKeepsTheLayoutsSize", 12, 100, 20, 10, false, 12},
        Case{"ATextExactlyAsWideAsItsBoxKeepsTheLayoutsSize", 12, 60, 20, 10, false, 12},
        // 20 chars: 10 pt is 100 wide.
        Case{"ATooLongTextShrinksToTheLargestWholePointThatFits", 12, 100, 20, 20, false, 10},
        Case{"AFractionalDesignSizeStepsToTheWholePointBelow", 12.5, 100, 20, 20, false, 10},
        Case{"ATooTallBoxShrinksTheTextByItsHeight", 12, 1000, 12, 5, false, 10},
        Case{"ATextThatFitsNowhereStopsAtTheFloor", 12, 10, 20, 40, false, FloorPoints},
        Case{"ADesignSizeBelowTheFloorIsLeftAlone", 7, 10, 20, 40, false, 7},
        // 40 chars in 100 wide: at 12 pt 16 a line, 3 lines, 43.2 high; at 10 pt 20 a line, 2 lines, 24.
        Case{"AWrappingTextThatFitsItsLinesKeepsTheLayoutsSize", 12, 100, 50, 40, true, 12},
        Case{"AWrappingTextShrinksUntilItsLinesFitTheBoxesHeight", 12, 100, 30, 40, true, 10}),
    [](const testing::TestParamInfo<Case> &info) { return info.param.name; });

} // namespace
} // namespace kpx::forms
