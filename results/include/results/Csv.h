#pragma once

#include <string>
#include <string_view>

namespace kpx {

// A CSV field per RFC 4180: quoted, quotes doubled, when it holds a comma, quote, CR or LF.
std::string CsvField(std::string_view text);

} // namespace kpx
