#include "platform/Files.h"

#include "platform/WideText.h"
#include "platform/Win32Paths.h"

#include <algorithm>

namespace kpx {

namespace {

// `path`: the one the operation was on, to tell a path refused for its length.
FileError errorFrom(DWORD error, const std::string &path)
{
    return {win32::pathErrorText(error, path), error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS};
}

FileStatus statusOf(BOOL worked, const std::string &path)
{
    if (worked)
        return std::nullopt;
    return errorFrom(GetLastError(), path);
}

// Every kind of sharing: the file stays renamable and removable while this program holds it, as a
// file open on Linux does.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Which file a handle is, on which volume.
struct FileIdentity
{
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    DWORD links;
};

std::optional<FileIdentity> identityOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, info.nNumberOfLinks};
}

// Of two paths a rename was given, the one the system may have refused for its length.
const std::string &longer(const std::string &from, const std::string &to)
{
    return to.size() >= from.size() ? to : from;
}

class Win32File final : public OpenFile
{
public:
    Win32File(HANDLE handle, std::string path)
        : m_handle(handle)
        , m_path(std::move(path))
    {
    }
    ~Win32File() override
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }

    FileStatus writeAt(std::uint64_t offset, std::string_view bytes) override
    {
        std::size_t written = 0;
        while (written < bytes.size()) {
            OVERLAPPED at{};
            const std::uint64_t position = offset + written;
            at.Offset = static_cast<DWORD>(position);
            at.OffsetHigh = static_cast<DWORD>(position >> 32);
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
            DWORD done = 0;
            if (!WriteFile(m_handle, bytes.data() + written, chunk, &done, &at))
                return errorFrom(GetLastError(), m_path);
            if (done == 0)
                return errorFrom(ERROR_WRITE_FAULT, m_path);
            written += done;
        }
        return std::nullopt;
    }

    FileStatus truncate(std::uint64_t length) override
    {
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(length);
        if (!SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN))
            return errorFrom(GetLastError(), m_path);
        return statusOf(SetEndOfFile(m_handle), m_path);
    }

    FileStatus sync() override { return statusOf(FlushFileBuffers(m_handle), m_path); }

    bool isStillAt(const std::string &path) const override
    {
        // Writes to a file whose folder was deleted still succeed, but go nowhere: the file has no
        // name left, or another file is found at its path.
        const std::optional<FileIdentity> open = identityOf(m_handle);
        if (!open || open->links == 0)
            return false;
        // Removed while open, the file keeps its name until the last handle goes, but is gone for
        // everyone else.
        FILE_STANDARD_INFO standard{};
        if (GetFileInformationByHandleEx(m_handle, FileStandardInfo, &standard, sizeof standard)
            && standard.DeletePending)
            return false;
        HANDLE named = CreateFileW(win32::systemPath(path).c_str(), 0, ShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (named == INVALID_HANDLE_VALUE)
            return false;
        const std::optional<FileIdentity> there = identityOf(named);
        CloseHandle(named);
        if (!there)
            return false;
        // Wine reads a volume serial of 0 through a handle whose file was renamed since it was
        // opened; the file index still tells the file.
        const bool sameVolume = open->volume == 0 || there->volume == open->volume;
        return sameVolume && there->indexHigh == open->indexHigh && there->indexLow == open->indexLow;
    }

    FileStatus close() override
    {
        const BOOL closed = CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        return statusOf(closed, m_path);
    }

private:
    HANDLE m_handle;
    // Where it was created, for the errors' words.
    std::string m_path;
};

class Win32Files final : public Files
{
public:
    std::variant<std::unique_ptr<OpenFile>, FileError> createNew(const std::string &path) override
    {
        HANDLE handle = CreateFileW(win32::systemPath(path).c_str(), GENERIC_WRITE, ShareAll, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return errorFrom(GetLastError(), path);
        return std::make_unique<Win32File>(handle, path);
    }

    FileStatus replace(const std::string &from, const std::string &to) override
    {
        // One rename, unlike ReplaceFileW; it fails while another program holds `to` open without
        // sharing deletion, and that failure is reported like any other.
        return statusOf(MoveFileExW(win32::systemPath(from).c_str(), win32::systemPath(to).c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
                        longer(from, to));
    }

    FileStatus moveNew(const std::string &from, const std::string &to) override
    {
        return statusOf(
            MoveFileExW(win32::systemPath(from).c_str(), win32::systemPath(to).c_str(), MOVEFILE_WRITE_THROUGH),
            longer(from, to));
    }

    FileStatus remove(const std::string &path) override
    {
        return statusOf(DeleteFileW(win32::systemPath(path).c_str()), path);
    }

    FileStatus syncDirectory(const std::string &directory) override
    {
        HANDLE handle = CreateFileW(win32::systemPath(directory).c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // Opening a folder for writing may be refused; its renames were written through already.
            if (error == ERROR_ACCESS_DENIED && kind(directory) == PathKind::Other)
                return std::nullopt;
            return errorFrom(error, directory);
        }
        const BOOL flushed = FlushFileBuffers(handle);
        const DWORD error = GetLastError();
        CloseHandle(handle);
        // Some file systems cannot flush a folder at all; its entries are as durable as they get.
        if (!flushed && error != ERROR_INVALID_FUNCTION && error != ERROR_ACCESS_DENIED)
            return errorFrom(error, directory);
        return std::nullopt;
    }

    PathKind kind(const std::string &path) const override
    {
        const DWORD attributes = GetFileAttributesW(win32::systemPath(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return PathKind::Missing;
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
            return PathKind::Other;
        return PathKind::RegularFile;
    }

    std::optional<std::vector<std::string>> list(const std::string &directory) const override
    {
        WIN32_FIND_DATAW found{};
        std::wstring pattern = win32::systemPath(directory);
        pattern += pattern.ends_with(L'\\') ? L"*" : L"\\*";
        HANDLE search = FindFirstFileW(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(std::vector<std::string>{}) : std::nullopt;
        std::vector<std::string> names;
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(win32::narrow(name));
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }
};

// The end of the path's root: "C:\", "\\server\share\" or a leading separator.
std::size_t rootLength(const std::string &path)
{
    if (path.size() >= 2 && path[1] == ':')
        return path.size() >= 3 && isDirectorySeparator(path[2]) ? 3 : 2;
    if (!path.empty() && isDirectorySeparator(path[0]))
        return 1;
    return 0;
}

std::size_t lastSeparator(const std::string &path)
{
    return path.find_last_of("\\/");
}

} // namespace

Files &systemFiles()
{
    static Win32Files files;
    return files;
}

bool isDirectorySeparator(char c)
{
    return c == '\\' || c == '/';
}

char preferredDirectorySeparator()
{
    return '\\';
}

std::string directoryOf(const std::string &path)
{
    const std::size_t root = rootLength(path);
    const auto separator = lastSeparator(path);
    if (separator == std::string::npos || separator < root)
        return root ? path.substr(0, root) : ".";
    return path.substr(0, separator);
}

std::string fileNameOf(const std::string &path)
{
    const auto separator = lastSeparator(path);
    const std::size_t root = rootLength(path);
    if (separator == std::string::npos)
        return path.substr(root == 2 ? 2 : 0);
    return path.substr(separator + 1);
}

} // namespace kpx
