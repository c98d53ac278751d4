#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kpx::win32 {

// Folder id of the user's documents folder.
constexpr std::int32_t CSIDL_PERSONAL = 5;
// Asks for a folder's present location.
constexpr std::int32_t SHGFP_TYPE_CURRENT = 0;

// The characters before the first NUL; the whole text when it holds none.
std::wstring TrimAtNul(const std::wstring &text);

// The current user's special folder, or an empty text when the shell has none.
std::wstring GetSpecialFolder(std::int32_t folderId, std::int32_t flags);

// The current user's documents folder, or an empty text when it cannot be found.
std::wstring GetDocumentsFolder();

// A drive of the system: its root ("C:\") and the name the shell gives it ("Local Disk (C:)").
struct Drive
{
    std::wstring root;
    std::wstring name;
};

// The drives that are ready, in letter order.
std::vector<Drive> readyDrives();

} // namespace kpx::win32
