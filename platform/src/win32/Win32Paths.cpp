#include "platform/Win32Paths.h"

#include "platform/WideText.h"

#include <string_view>
#include <vector>

namespace kpx::win32 {

namespace {

constexpr std::wstring_view Verbatim = L"\\\\?\\";
constexpr std::wstring_view VerbatimUnc = L"\\\\?\\UNC\\";

bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool isDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool hasPrefix(std::wstring_view path)
{
    // `\\?\`, `\\.\` and the object manager's `\??\`, with either separator.
    return path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[3])
        && ((isSeparator(path[1]) && (path[2] == L'?' || path[2] == L'.')) || (path[1] == L'?' && path[2] == L'?'));
}

bool isDriveAbsolute(std::wstring_view path)
{
    return path.size() >= 3 && isDriveLetter(path[0]) && path[1] == L':' && isSeparator(path[2]);
}

bool isUnc(std::wstring_view path)
{
    return path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]);
}

// The next part of the path from `at`, which moves past it and its separators.
std::wstring_view nextPart(std::wstring_view path, std::size_t &at)
{
    const std::size_t begin = at;
    while (at < path.size() && !isSeparator(path[at]))
        ++at;
    const std::wstring_view part = path.substr(begin, at - begin);
    while (at < path.size() && isSeparator(path[at]))
        ++at;
    return part;
}

// The parts after the root, cleaned up as the system cleans up a path without the prefix.
std::wstring resolvedParts(std::wstring_view rest)
{
    const bool endsInSeparator = !rest.empty() && isSeparator(rest.back());
    std::vector<std::wstring_view> parts;
    for (std::size_t at = 0; at < rest.size();) {
        std::wstring_view part = nextPart(rest, at);
        if (part.empty() || part == L".")
            continue;
        if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        if (part.size() >= 2 && part.back() == L'.' && part[part.size() - 2] != L'.')
            part.remove_suffix(1);
        if (at >= rest.size() && !endsInSeparator)
            while (!part.empty() && (part.back() == L'.' || part.back() == L' '))
                part.remove_suffix(1);
        if (!part.empty())
            parts.push_back(part);
    }
    std::wstring joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            joined += L'\\';
        joined += parts[i];
    }
    return joined;
}

// The path made whole from the current directory, as the system would; empty when it cannot be.
std::wstring fullPathOf(const std::wstring &path)
{
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (length == 0)
            return {};
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        // Too small: the length asked for counts the terminating NUL.
        full.assign(length, L'\0');
    }
}

} // namespace

std::wstring longPath(const std::wstring &path)
{
    if (path.empty() || hasPrefix(path))
        return path;
    if (isDriveAbsolute(path)) {
        std::wstring result(Verbatim);
        result += path.substr(0, 2);
        result += L'\\';
        return result + resolvedParts(std::wstring_view(path).substr(3));
    }
    if (isUnc(path)) {
        // The server and the share are the root: ".." never climbs above the share.
        std::size_t at = 2;
        const std::wstring_view server = nextPart(path, at);
        const std::wstring_view share = nextPart(path, at);
        if (server.empty() || share.empty())
            return path;
        std::wstring result(VerbatimUnc);
        result.append(server).append(L"\\").append(share);
        const std::wstring rest = resolvedParts(std::wstring_view(path).substr(at));
        return rest.empty() ? result + L'\\' : result + L'\\' + rest;
    }
    // Relative, on the current drive's root, or on a drive's current directory.
    const std::wstring full = fullPathOf(path);
    if (isDriveAbsolute(full) || (isUnc(full) && !hasPrefix(full)))
        return longPath(full);
    return path;
}

std::wstring systemPath(const std::string &path)
{
    return longPath(widen(path));
}

std::string pathErrorText(DWORD error, const std::string &path)
{
    const std::wstring prefixed = longPath(widen(path));
    std::wstring whole = prefixed;
    if (whole.starts_with(VerbatimUnc))
        whole = L"\\\\" + whole.substr(VerbatimUnc.size());
    else if (whole.starts_with(Verbatim))
        whole = whole.substr(Verbatim.size());
    // Without long paths the limit is MAX_PATH with the terminating NUL; a single name has its own.
    const bool overLimit = whole.size() >= MAX_PATH;
    bool tooLong = overLimit && error == ERROR_FILENAME_EXCED_RANGE;
    if (overLimit && error == ERROR_PATH_NOT_FOUND) {
        // Refused for its length, though the folder it names is there.
        const std::size_t separator = prefixed.find_last_of(L'\\');
        const DWORD folder = GetFileAttributesW(prefixed.substr(0, separator).c_str());
        tooLong = folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY);
    }
    if (tooLong)
        return "the path is too long for this system (" + std::to_string(whole.size())
            + " characters; where long paths are not enabled, Windows takes at most " + std::to_string(MAX_PATH - 1)
            + "): choose a folder with a shorter path";
    if (error == ERROR_FILENAME_EXCED_RANGE)
        return "a name in the path is too long for this system";
    return errorText(error);
}

} // namespace kpx::win32
