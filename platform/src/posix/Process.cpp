#include "platform/Process.h"

#include <csignal>

namespace kpx {

void reportOversizedWritesAsErrors()
{
    // Ignored, SIGXFSZ leaves the write to fail with EFBIG.
    std::signal(SIGXFSZ, SIG_IGN);
}

std::vector<std::string> programArguments(int argc, char **argv)
{
    return {argv + 1, argv + argc};
}

} // namespace kpx
