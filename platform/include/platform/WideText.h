#pragma once

#include <windows.h>

#include <string>

namespace kpx::win32 {

// Windows only: the one place where the core's UTF-8 text meets the wide (UTF-16) text of the
// Windows API, for the platform layer and the Win32 front-end alike.

// UTF-8 text as wide text, and back; invalid sequences become U+FFFD.
std::wstring widen(const std::string &text);
std::string narrow(const std::wstring &text);

// The system's words for an error code, without the trailing full stop and line end.
std::string errorText(DWORD error);

} // namespace kpx::win32
