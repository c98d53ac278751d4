#include "WriteAll.h"

#include <cerrno>
#include <unistd.h>

namespace kpx {

bool WriteAll(int fd, const std::string &text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace kpx
