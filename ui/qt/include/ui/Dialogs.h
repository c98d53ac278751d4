#pragma once

#include "forms/Dialogs.h"

class QWidget;

namespace kpx {

// The dialog seam as the Qt windows use it: QtDialogs shows the real ones.
using Dialogs = DialogsOf<QWidget>;

} // namespace kpx
