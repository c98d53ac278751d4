#pragma once

#include <string>
#include <string_view>

namespace kpx::web {

// A JSON string literal of UTF-8 text, quotes included.
std::string jsonString(std::string_view text);

} // namespace kpx::web
