#pragma once

#include <string>
#include <string_view>

namespace kpx {

// Six letters or digits, drawn afresh each time, for names that must not collide.
std::string randomTag();

// Whether the text has exactly the form randomTag gives.
bool isRandomTag(std::string_view text);

} // namespace kpx
