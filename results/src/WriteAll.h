#pragma once

#include <string>

namespace kpx {

// Writes all of text to the descriptor, resuming after interruptions; false with errno set on failure.
bool writeAll(int fd, const std::string &text);

// The directory part of a path: "." when it has none.
std::string directoryOf(const std::string &path);

// Makes the directory's entries (a new or renamed file) durable; best effort.
void syncDirectory(const std::string &directory);

} // namespace kpx
