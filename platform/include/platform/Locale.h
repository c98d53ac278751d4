#pragma once

namespace kpx {

// The user's decimal separator for numbers ('.' when it cannot be read or is not one printable ASCII
// character): on Windows from the regional settings, on the web from the browser's locale. The Qt
// front-end asks QLocale instead, so the POSIX build has none.
char userDecimalSeparator();

} // namespace kpx
