#include "platform/Process.h"

#include <csignal>

namespace kpx {

void reportOversizedWritesAsErrors()
{
    // Ignored, SIGXFSZ leaves the write to fail with EFBIG.
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace kpx
