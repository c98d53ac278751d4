#include "platform/FileNames.h"

#include "i18n/Tr.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kpx {

namespace {

// Names Windows takes as devices, alone or with any extension: "NUL.KPX" is the null device, and
// what is written there vanishes while the write reports success. CONIN$ and CONOUT$ are the console's
// input and output.
constexpr std::array<std::string_view, 6> Devices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
constexpr std::array<std::string_view, 2> NumberedDevices = {"COM", "LPT"};
// Windows counts the superscript digits 1 to 3 as device numbers too.
constexpr std::array<std::string_view, 12> DeviceNumbers = {"1", "2", "3", "4", "5", "6", "7", "8", "9",
                                                             "\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};

std::string upper(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return result;
}

bool isDeviceName(std::string_view name)
{
    // The part before the first dot, without trailing spaces, is what Windows compares.
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    const std::string base = upper(stem);
    if (std::find(Devices.begin(), Devices.end(), base) != Devices.end())
        return true;
    for (std::string_view device : NumberedDevices) {
        if (base.size() > 3 && base.starts_with(device)) {
            const std::string_view number = std::string_view(base).substr(3);
            if (std::find(DeviceNumbers.begin(), DeviceNumbers.end(), number) != DeviceNumbers.end())
                return true;
        }
    }
    return false;
}

} // namespace

std::optional<std::string> fileNameRefusal(const std::string &text)
{
    // Control characters are refused on every system before this.
    for (const char c : text) {
        if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
            return i18n::arg(i18n::tr(KPX_TR("the subject ID contains '%1', which a Windows file name cannot hold")),
                             {std::string_view(&c, 1)});
    }
    if (!text.empty() && text.back() == '.')
        return std::string(i18n::tr(KPX_TR("the subject ID ends in a dot, which Windows drops from a file name")));
    if (!text.empty() && text.back() == ' ')
        return std::string(i18n::tr(KPX_TR("the subject ID ends in a space, which Windows drops from a file name")));
    if (isDeviceName(text))
        return i18n::arg(i18n::tr(KPX_TR("the subject ID %1 names a device on Windows, not a file")), {text});
    return std::nullopt;
}

} // namespace kpx
