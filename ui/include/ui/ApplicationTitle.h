#pragma once

#include <QLatin1String>

namespace kpx {

// The application's name: the title of its dialogs and the name Qt gives the application.
inline constexpr QLatin1String ApplicationTitle("KPX2");

} // namespace kpx
