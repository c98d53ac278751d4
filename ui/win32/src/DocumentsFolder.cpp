#include "win32/DocumentsFolder.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace kpx::win32 {

std::wstring TrimAtNul(const std::wstring &text)
{
    const std::size_t nul = text.find(L'\0');
    return nul == std::wstring::npos ? text : text.substr(0, nul);
}

std::wstring GetSpecialFolder(std::int32_t folderId, std::int32_t flags)
{
    // The access token is 0, the current user: -1 would name the Default User profile, the template
    // copied into accounts made later, where a participant's results are refused or spread to every
    // new account. The wide call holds any user name, which the 8-bit code page cannot.
    std::wstring buffer(MAX_PATH, L' ');
    const HRESULT result = SHGetFolderPathW(nullptr, folderId, nullptr, static_cast<DWORD>(flags), buffer.data());
    if (result != S_OK)
        return {};
    return TrimAtNul(buffer);
}

std::wstring GetDocumentsFolder()
{
    return GetSpecialFolder(CSIDL_PERSONAL, SHGFP_TYPE_CURRENT);
}

std::vector<Drive> readyDrives()
{
    std::vector<Drive> drives;
    // No "insert a disk" box for an empty drive: the question is only whether it is ready.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    const DWORD letters = GetLogicalDrives();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        if (!(letters & (1u << (letter - L'A'))))
            continue;
        const std::wstring root{letter, L':', L'\\'};
        if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0))
            continue;
        SHFILEINFOW info{};
        std::wstring name = root.substr(0, 2);
        if (SHGetFileInfoW(root.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME) && info.szDisplayName[0])
            name = info.szDisplayName;
        drives.push_back({root, name});
    }
    SetErrorMode(previous);
    return drives;
}

} // namespace kpx::win32
