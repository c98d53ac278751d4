#pragma once

#include "i18n/Tr.h"

#include <initializer_list>
#include <string>
#include <string_view>

// The texts the windows and dialogs show besides their layouts.
namespace kpx::forms {

// The application's name: the title of every dialog that has none of its own.
inline constexpr const char *ApplicationTitle = "KPX2";

inline constexpr i18n::Text CompletionMessage{KPX_TR("The task is now complete")};

// The active language's text for the English one, each %1, %2 ... filled in from the arguments.
inline std::string translated(const char *english, std::initializer_list<std::string_view> arguments = {})
{
    return i18n::arg(i18n::tr(english), arguments);
}

} // namespace kpx::forms
