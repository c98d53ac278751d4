#pragma once

#include "forms/Layout.h"
#include "forms/WindowLayouts.h"

namespace kpx::forms {

// Where a layout is drawn, in the display's own pixels: the area it may use (for a maximized window
// its client area, for the break message the screen's available area), relative to the origin the
// layout's measures start from, and the display's dots per inch.
struct Display
{
    Rect available;
    int dpi = DesignDpi;
};

// How a layout is drawn on a display: twips become pixels at `dpi` (the display's own unless that
// would not fit) and are then moved by `offset`.
struct Fit
{
    // The dots per inch the twips are converted at; not whole when the layout was reduced.
    double dpi = DesignDpi;
    int offsetX = 0;
    int offsetY = 0;

    // Display pixels per pixel of the layout at 96 dots per inch: 1.5 at 144 dpi.
    double scale() const { return dpi / DesignDpi; }
    // A measure, a place on the x or the y axis. At the display's own whole dpi these are exactly
    // toPixels(twips, dpi).
    int length(int twips) const;
    int x(int twips) const { return length(twips) + offsetX; }
    int y(int twips) const { return length(twips) + offsetY; }
    // A rectangle at its place; one inside a frame adds the frame's place in pixels.
    Rect place(const Rect &twips) const { return {x(twips.left), y(twips.top), length(twips.width), length(twips.height)}; }
    Rect inside(const Rect &frame, const Rect &twips) const
    {
        return {frame.left + length(twips.left), frame.top + length(twips.top), length(twips.width), length(twips.height)};
    }
    // A font's size, scaled with the layout so its text keeps within its label.
    double points(double designPoints) const { return designPoints * dpi / DesignDpi; }
};

// The one rule for every window: the layout at the display's dots per inch, placed as designed, when
// the whole extent (what must be seen) fits the available area; otherwise reduced as a whole, keeping
// its proportions, until the extent fits, and centred in the area.
Fit fitLayout(const Rect &extentTwips, const Display &display);

// What must be seen of each window, in twips from its layout's origin.
// The choice window: both frames and the prompt above them.
Rect choiceWindowExtent();
// The instructions: the text's label and the OK button.
Rect instructionsExtent();
// The break message: its client area, at its place on the screen.
Rect breakMessageExtent();

// The union of two rectangles.
Rect unite(const Rect &a, const Rect &b);

} // namespace kpx::forms
