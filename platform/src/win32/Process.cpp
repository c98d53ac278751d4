#include "platform/Process.h"

#include "platform/WideText.h"

#include <shellapi.h>

namespace kpx {

void reportOversizedWritesAsErrors()
{
    // Windows has no file-size limit signal: such a write fails like any other.
}

std::vector<std::string> programArguments(int, char **)
{
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(win32::narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

} // namespace kpx
