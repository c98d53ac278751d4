#include "platform/Process.h"

namespace kpx {

void reportOversizedWritesAsErrors()
{
    // A page has no file-size limit and no signal for it: a write fails only as the memory runs out.
}

std::vector<std::string> programArguments(int argc, char **argv)
{
    // Under Node the arguments arrive as UTF-8 already; a page has none of its own.
    return {argv + 1, argv + argc};
}

} // namespace kpx
