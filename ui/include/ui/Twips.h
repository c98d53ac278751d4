#pragma once

#include <QRect>

namespace kpx {

// The windows' layouts are measured in twips, 15 to the pixel at 96 dots per inch.
constexpr int TwipsPerPixel = 15;

// A layout measure in pixels.
constexpr int fromTwips(int twips)
{
    return twips / TwipsPerPixel;
}

// A layout rectangle in pixels.
constexpr QRect fromTwips(int left, int top, int width, int height)
{
    return QRect(fromTwips(left), fromTwips(top), fromTwips(width), fromTwips(height));
}

} // namespace kpx
