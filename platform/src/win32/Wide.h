#pragma once

#include <windows.h>

#include <string>

namespace kpx::win32 {

// UTF-8 text as the wide (UTF-16) text the Windows API takes, and back.
std::wstring wide(const std::string &text);
std::string narrow(const std::wstring &text);

// The system's words for an error code, without the trailing full stop and line end.
std::string errorText(DWORD error);

} // namespace kpx::win32
