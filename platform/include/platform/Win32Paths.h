#pragma once

#include <windows.h>

#include <string>

namespace kpx::win32 {

// Windows only: paths as the wide-character file functions take them.

// The path with the `\\?\` prefix that lifts the 260-character limit: `C:\...` becomes `\\?\C:\...`,
// `\\server\share\...` becomes `\\?\UNC\server\share\...`, and a relative path is made whole from the
// current directory first. The prefix turns off the system's own clean-up, so it is done here as the
// system does it: `/` becomes `\`, "." and ".." are resolved (never above the root), a part's one
// trailing dot goes, and so do the last part's trailing dots and spaces. A path that has a prefix
// already, or that names a device (`\\.\`), is left as it is.
std::wstring longPath(const std::wstring &path);

// The same for a UTF-8 path.
std::wstring systemPath(const std::string &path);

// Why a file operation on the path failed, in the system's words; but where the system refused the
// path for its length, saying so, since its own words then are "cannot find the path specified".
std::string pathErrorText(DWORD error, const std::string &path);

} // namespace kpx::win32
