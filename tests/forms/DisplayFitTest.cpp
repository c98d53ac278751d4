#include "forms/DisplayFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>

namespace {

using namespace kpx::forms;

int right(const Rect &r)
{
    return r.left + r.width;
}

int bottom(const Rect &r)
{
    return r.top + r.height;
}

// A Windows screen as a lab laptop has it: the taskbar (40 pixels at 100 %) along the bottom, and a
// maximized window's title bar (23 pixels at 100 %) above its client area.
Display workArea(int width, int height, int dpi)
{
    return {{0, 0, width, height - static_cast<int>(std::lround(40.0 * dpi / DesignDpi))}, dpi};
}

Display maximizedClient(int width, int height, int dpi)
{
    Display display = workArea(width, height, dpi);
    display.available.height -= static_cast<int>(std::lround(23.0 * dpi / DesignDpi));
    return display;
}

struct Window
{
    const char *name;
    Rect extent;
    Display (*display)(int, int, int);
};

const Window Windows[] = {
    {"ChoiceWindow", choiceWindowExtent(), maximizedClient},
    {"Instructions", instructionsExtent(), maximizedClient},
    {"BreakMessage", breakMessageExtent(), workArea},
};

struct Screen
{
    int width;
    int height;
};

std::string nameOfCase(const ::testing::TestParamInfo<std::tuple<Window, Screen, int>> &info)
{
    const Window &window = std::get<0>(info.param);
    const Screen &screen = std::get<1>(info.param);
    return std::string(window.name) + "On" + std::to_string(screen.width) + "x" + std::to_string(screen.height) + "At"
           + std::to_string(std::get<2>(info.param)) + "Dpi";
}

class EveryCommonScaling : public ::testing::TestWithParam<std::tuple<Window, Screen, int>>
{
};

// Whatever the window, screen and scaling: the extent lies inside the area; at the display's own dpi
// when that fits, placed as designed; otherwise never larger than that, centred, and as large as fits.
TEST_P(EveryCommonScaling, KeepsTheWholeLayoutOnTheScreen)
{
    const auto &[window, screen, dpi] = GetParam();
    const Display display = window.display(screen.width, screen.height, dpi);
    const Rect area = display.available;
    const Fit fit = fitLayout(window.extent, display);
    const Rect box = fit.place(window.extent);
    const int boxRight = fit.x(right(window.extent));
    const int boxBottom = fit.y(bottom(window.extent));

    EXPECT_GE(box.left, area.left);
    EXPECT_GE(box.top, area.top);
    EXPECT_LE(boxRight, right(area));
    EXPECT_LE(boxBottom, bottom(area));
    const Fit own{static_cast<double>(dpi), 0, 0};
    const Rect atOwn = own.place(window.extent);
    if (right(atOwn) <= right(area) && bottom(atOwn) <= bottom(area)) {
        EXPECT_EQ(fit.dpi, dpi);
        EXPECT_EQ(fit.offsetX, 0);
        EXPECT_EQ(fit.offsetY, 0);
        return;
    }
    EXPECT_LE(fit.dpi, dpi);
    EXPECT_LE(std::abs((box.left - area.left) - (right(area) - boxRight)), 1) << "centred across";
    EXPECT_LE(std::abs((box.top - area.top) - (bottom(area) - boxBottom)), 1) << "centred down";
    if (fit.dpi < dpi) {
        // A thousandth larger and the extent would be wider or higher than the area.
        const double larger = fit.dpi + DesignDpi / 1000.0;
        const bool tooWide = window.extent.width * larger / TwipsPerInch > area.width;
        const bool tooHigh = window.extent.height * larger / TwipsPerInch > area.height;
        EXPECT_TRUE(tooWide || tooHigh) << fit.scale();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, EveryCommonScaling,
    ::testing::Combine(::testing::ValuesIn(Windows),
                       ::testing::Values(Screen{1366, 768}, Screen{1920, 1080}, Screen{3840, 2160}),
                       ::testing::Values(96, 120, 144, 168, 192)),
    nameOfCase);

struct ScaleCase
{
    const char *name;
    Window window;
    Screen screen;
    int dpi;
    double scale;
};

class ScaleUsed : public ::testing::TestWithParam<ScaleCase>
{
};

TEST_P(ScaleUsed, IsTheDisplaysOwnOrReducedToFit)
{
    const ScaleCase &c = GetParam();
    EXPECT_DOUBLE_EQ(fitLayout(c.window.extent, c.window.display(c.screen.width, c.screen.height, c.dpi)).scale(),
                     c.scale);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ScaleUsed,
    ::testing::Values(
        ScaleCase{"ChoiceWindowAt100PercentOn1366x768IsAsDesigned", Windows[0], {1366, 768}, 96, 1.0},
        // Today "NOW" and "IN 1 DAY" were cut off at the bottom here.
        ScaleCase{"ChoiceWindowAt150PercentOn1366x768IsReduced", Windows[0], {1366, 768}, 144, 1.272},
        ScaleCase{"ChoiceWindowAt150PercentOn1920x1080Fits", Windows[0], {1920, 1080}, 144, 1.5},
        // Today the frames' bottoms were cut here; small enough, it only moves up.
        ScaleCase{"ChoiceWindowAt175PercentOn1920x1080KeepsItsScale", Windows[0], {1920, 1080}, 168, 1.75},
        ScaleCase{"ChoiceWindowAt200PercentOn1920x1080IsReduced", Windows[0], {1920, 1080}, 192, 1.803},
        // Too low at its place but small enough: moved to the middle, not grown.
        ScaleCase{"ChoiceWindowAt125PercentOn1366x768KeepsItsScale", Windows[0], {1366, 768}, 120, 1.25},
        ScaleCase{"InstructionsAt125PercentOn1366x768AreReduced", Windows[1], {1366, 768}, 120, 1.245},
        ScaleCase{"BreakMessageAt150PercentOn1366x768KeepsItsScale", Windows[2], {1366, 768}, 144, 1.5},
        ScaleCase{"ChoiceWindowAt200PercentOn3840x2160Fits", Windows[0], {3840, 2160}, 192, 2.0},
        ScaleCase{"NoDpiIsTheDesigns", Windows[0], {1024, 768}, 0, 1.0}),
    [](const auto &info) { return std::string(info.param.name); });

// At 96 dpi on 1024 by 768 the windows keep the very pixels they always had.
TEST(DisplayFit, AtTheDesignDpiOnA1024x768ScreenPlacesEveryMeasureAsBefore)
{
    for (const Window &window : Windows) {
        const Fit fit = fitLayout(window.extent, window.display(1024, 768, DesignDpi));
        for (int twips = 0; twips <= 16000; twips += 15 * 7 + 1)
            ASSERT_EQ(fit.x(twips), toPixels(twips)) << window.name << ' ' << twips;
        EXPECT_EQ(fit.offsetY, 0) << window.name;
    }
}

TEST(DisplayFit, ScalesFontsWithTheLayout)
{
    const Fit fit = fitLayout(choiceWindowExtent(), maximizedClient(1366, 768, 144));
    EXPECT_DOUBLE_EQ(fit.points(48), 48 * 1.272);
}

} // namespace
