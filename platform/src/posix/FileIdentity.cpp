#include "FileIdentity.h"

#include <sys/stat.h>

namespace kpx::posix {

bool isFileAt(int fd, const std::string &path)
{
    struct stat open{};
    struct stat named{};
    if (::fstat(fd, &open) != 0 || open.st_nlink == 0)
        return false;
    if (::stat(path.c_str(), &named) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

} // namespace kpx::posix
