#pragma once

namespace kpx {

// Windows only: the user's decimal separator for numbers, from the regional settings ('.' when it
// cannot be read or is not one printable ASCII character). The Qt front-end asks QLocale instead.
char userDecimalSeparator();

} // namespace kpx
