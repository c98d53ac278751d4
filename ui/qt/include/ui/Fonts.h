#pragma once

#include "forms/Layout.h"

#include <QFont>

namespace kpx {

// A window's font as its layout names it. Where the named face is not installed, a metric-compatible
// one takes its place (Liberation Sans for Arial and for MS Sans Serif), never an arbitrary wider face
// that would clip the texts.
QFont layoutFont(const forms::Font &font);

} // namespace kpx
