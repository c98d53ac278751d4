#pragma once

#include <string>

namespace kpx {

// Writes all of text to the descriptor, resuming after interruptions; false with errno set on failure.
bool WriteAll(int fd, const std::string &text);

} // namespace kpx
