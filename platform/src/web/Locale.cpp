#include "platform/Locale.h"

#include <emscripten.h>

namespace {

// The browser's locale's decimal separator as a character code, 0 when it cannot be had.
// clang-format off
EM_JS(int, browserDecimalSeparator, (), {
    try {
        const part = new Intl.NumberFormat().formatToParts(1.5).find(function(p) { return p.type === 'decimal'; });
        return part && part.value.length === 1 ? part.value.charCodeAt(0) : 0;
    } catch (e) {
        return 0;
    }
});
// clang-format on

} // namespace

namespace kpx {

char userDecimalSeparator()
{
    const int separator = browserDecimalSeparator();
    // One printable ASCII character, which the results files can hold; anything else is '.'.
    if (separator > 0x20 && separator < 0x7F)
        return static_cast<char>(separator);
    return '.';
}

} // namespace kpx
