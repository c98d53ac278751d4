#pragma once

#include "forms/Texts.h"

#include <QLatin1String>

namespace kpx {

// The application's name: the title of its dialogs and the name Qt gives the application.
inline constexpr QLatin1String ApplicationTitle(forms::ApplicationTitle);

} // namespace kpx
