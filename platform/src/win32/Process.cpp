#include "platform/Process.h"

namespace kpx {

void reportOversizedWritesAsErrors()
{
    // Windows has no file-size limit signal: such a write fails like any other.
}

} // namespace kpx
