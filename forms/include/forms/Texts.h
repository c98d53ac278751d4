#pragma once

// The texts the windows and dialogs show besides their layouts.
namespace kpx::forms {

// The application's name: the title of every dialog that has none of its own.
inline constexpr const char *ApplicationTitle = "KPX2";

inline constexpr const char *CompletionMessage = "The task is now complete";

} // namespace kpx::forms
