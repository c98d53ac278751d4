#include "platform/Files.h"

#include "FileIdentity.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kpx {

namespace {

FileError errorFrom(int error)
{
    return {std::strerror(error), error == EEXIST};
}

FileStatus statusOf(int result)
{
    if (result == 0)
        return std::nullopt;
    return errorFrom(errno);
}

// Repeats a call that a signal interrupted.
template <typename Call>
int retried(Call call)
{
    int result;
    do {
        result = call();
    } while (result != 0 && errno == EINTR);
    return result;
}

class PosixFile final : public OpenFile
{
public:
    explicit PosixFile(int fd)
        : m_fd(fd)
    {
    }
    ~PosixFile() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    FileStatus writeAt(std::uint64_t offset, std::string_view bytes) override
    {
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::pwrite(m_fd, bytes.data() + written, bytes.size() - written,
                                       static_cast<off_t>(offset + written));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errorFrom(errno);
            }
            written += static_cast<std::size_t>(n);
        }
        return std::nullopt;
    }

    FileStatus truncate(std::uint64_t length) override
    {
        return statusOf(retried([&] { return ::ftruncate(m_fd, static_cast<off_t>(length)); }));
    }

    FileStatus sync() override { return statusOf(retried([&] { return ::fsync(m_fd); })); }

    bool isStillAt(const std::string &path) const override
    {
        return posix::isFileAt(m_fd, path);
    }

    FileStatus close() override
    {
        // Never retried: after EINTR the descriptor is gone already.
        const int result = ::close(m_fd);
        m_fd = -1;
        return statusOf(result);
    }

private:
    int m_fd;
};

class PosixFiles final : public Files
{
public:
    std::variant<std::unique_ptr<OpenFile>, FileError> createNew(const std::string &path) override
    {
        int fd;
        do {
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return errorFrom(errno);
        return std::make_unique<PosixFile>(fd);
    }

    FileStatus replace(const std::string &from, const std::string &to) override
    {
        return statusOf(::rename(from.c_str(), to.c_str()));
    }

    FileStatus moveNew(const std::string &from, const std::string &to) override
    {
#ifdef RENAME_NOREPLACE
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return std::nullopt;
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            return errorFrom(errno);
#endif
        // Without RENAME_NOREPLACE (exFAT, some network shares, Emscripten's C library) a hard link
        // cannot replace either; where links are not had either, the name is checked first.
        if (::link(from.c_str(), to.c_str()) == 0)
            return statusOf(::unlink(from.c_str()));
        if (errno == EEXIST)
            return errorFrom(errno);
        if (kind(to) != PathKind::Missing)
            return errorFrom(EEXIST);
        return statusOf(::rename(from.c_str(), to.c_str()));
    }

    FileStatus remove(const std::string &path) override { return statusOf(::unlink(path.c_str())); }

    FileStatus syncDirectory(const std::string &directory) override
    {
        const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return errorFrom(errno);
        const int result = retried([&] { return ::fsync(fd); });
        const int error = errno;
        ::close(fd);
        // Some file systems cannot sync a directory at all; their entries are as durable as they get.
        if (result != 0 && error != EINVAL && error != ENOTSUP)
            return errorFrom(error);
        return std::nullopt;
    }

    PathKind kind(const std::string &path) const override
    {
        struct stat info{};
        if (::lstat(path.c_str(), &info) != 0)
            return PathKind::Missing;
        return S_ISREG(info.st_mode) ? PathKind::RegularFile : PathKind::Other;
    }

    std::optional<std::vector<std::string>> list(const std::string &directory) const override
    {
        DIR *dir = ::opendir(directory.c_str());
        if (!dir)
            return std::nullopt;
        std::vector<std::string> names;
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
        return names;
    }
};

} // namespace

Files &systemFiles()
{
    static PosixFiles files;
    return files;
}

bool isDirectorySeparator(char c)
{
    return c == '/';
}

char preferredDirectorySeparator()
{
    return '/';
}

std::string directoryOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string fileNameOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace kpx
