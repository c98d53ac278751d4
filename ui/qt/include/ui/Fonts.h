#pragma once

#include "forms/Layout.h"

#include <QFont>
#include <QSize>
#include <QString>

namespace kpx {

// A window's font as its layout names it. Where the named face is not installed, a metric-compatible
// one takes its place (Liberation Sans for Arial and for MS Sans Serif), never an arbitrary wider face
// that would clip the texts.
QFont layoutFont(const forms::Font &font);

// The layout's font at the size its text is drawn in within a label of that size (forms::fitPoints):
// the font's own size wherever the text fits there, otherwise smaller. Measured as the labels draw:
// one line from the label's top, centred, or lines wrapped at its width.
QFont fittedFont(const forms::Font &font, const QString &text, const QSize &label, bool wrapped);

} // namespace kpx
