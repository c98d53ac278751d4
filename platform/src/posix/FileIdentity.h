#pragma once

#include <string>

namespace kpx::posix {

// Whether the file open as the descriptor is the one at the path (links not followed), and has
// not been removed. The POSIX files ask the system; the web's C library answers fstat() from the
// stream's path rather than its file, so it has its own answer.
bool isFileAt(int fd, const std::string &path);

} // namespace kpx::posix
