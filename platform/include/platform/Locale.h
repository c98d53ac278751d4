#pragma once

namespace kpx {

// The user's decimal separator for numbers, from the system's locale settings ('.' when it cannot
// be read or is not a single byte).
char userDecimalSeparator();

} // namespace kpx
