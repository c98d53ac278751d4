#pragma once

#include "i18n/Tr.h"

#include <cstdint>
#include <optional>

namespace kpx {
enum class TaskColor;
}

// What a window's controls look like, in the units the layouts are drawn in; each front-end turns
// these into its own controls.
namespace kpx::forms {

// Layout measures are twips: 1440 to the inch, 15 to the pixel at 96 dots per inch.
constexpr int TwipsPerInch = 1440;
constexpr int DesignDpi = 96;

// A layout measure in pixels on a screen of that many dots per inch.
constexpr int toPixels(int twips, int dpi = DesignDpi)
{
    return twips * dpi / TwipsPerInch;
}

// Left, top, width and height, relative to the client area or to the containing frame.
struct Rect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Size
{
    int width = 0;
    int height = 0;
};

enum class Weight { Regular = 400, Bold = 700 };

// A face by name, point size and weight; never italic.
struct Font
{
    const char *face = "";
    double points = 0;
    Weight weight = Weight::Regular;
};

// Every label's text is centred horizontally and starts at the label's top.
struct Label
{
    const char *name = "";
    Rect rect;
    Font font;
    // Empty where the run sets the text; shown in the active language.
    i18n::Text caption = "";
    bool wrapped = false;
};

struct Rgb
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend constexpr bool operator==(const Rgb &, const Rgb &) = default;
};

// The chosen option's background.
constexpr Rgb Green{0, 128, 0};
// Options not yet answerable.
constexpr Rgb White{255, 255, 255};
// Options answerable.
constexpr Rgb Black{0, 0, 0};

// The exact colour the choice window shows for one of its colours; nullopt for the system's
// button-face colour, which the window system gives.
std::optional<Rgb> fixedColor(TaskColor color);

} // namespace kpx::forms
