#pragma once

#include <optional>
#include <string>

namespace kpx {

// Why this system cannot use the text as the first part of a file name ("<text>.KPX"), beyond what
// every system refuses (NUL, the directory separator, control characters): on Windows the reserved
// characters, a trailing dot or space, and the device names (CON, NUL, COM1 ...), which with an
// extension still name the device. Empty when the name is fine here.
std::optional<std::string> fileNameRefusal(const std::string &text);

} // namespace kpx
