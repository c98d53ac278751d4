#pragma once

#include "forms/Layout.h"

#include <QRect>
#include <QSize>

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

} // namespace kpx
