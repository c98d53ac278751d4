#include "platform/Locale.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>

namespace kpx {

char userDecimalSeparator()
{
    // The user's own settings, without changing the process's locale.
    const locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (!user)
        return '.';
    const char *point = nl_langinfo_l(RADIXCHAR, user);
    const char separator = point && std::strlen(point) == 1 ? point[0] : '.';
    freelocale(user);
    return separator;
}

} // namespace kpx
