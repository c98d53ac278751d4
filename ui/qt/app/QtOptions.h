#pragma once

#include <QStringList>

namespace kpx {

// The arguments without Qt's own options and their values, as QApplication would leave them; so
// the command line can be checked before the window system is opened, which aborts without a display.
QStringList withoutQtOptions(const QStringList &arguments);

} // namespace kpx
