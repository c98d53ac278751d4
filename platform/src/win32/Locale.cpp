#include "platform/Locale.h"

#include <windows.h>

namespace kpx {

char userDecimalSeparator()
{
    wchar_t separator[8] = {};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    // The count includes the terminating NUL: one character, and one the results files can hold.
    if (length == 2 && separator[0] > 0x20 && separator[0] < 0x7F)
        return static_cast<char>(separator[0]);
    return '.';
}

} // namespace kpx
