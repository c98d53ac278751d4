#pragma once

#include "platform/Files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <variant>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kpx::test {

// Where a test's expectation differs between the systems, its table says so with this.
#ifdef _WIN32
inline constexpr bool OnWindows = true;
#else
inline constexpr bool OnWindows = false;
#endif

// The whole file, byte for byte.
inline std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Whether this Windows program runs under wine, which shows some things differently from Windows.
inline bool underWine()
{
#ifdef _WIN32
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Whether a directory's mode keeps this process from creating files in it.
inline bool permissionsBindUs()
{
#ifdef _WIN32
    return false;
#else
    return ::geteuid() != 0;
#endif
}

// Where loseFolder() puts the nth folder that the system will not remove: beside it.
inline std::string lostFolderName(const std::filesystem::path &folder, int n)
{
    return folder.string() + "-lost" + std::to_string(n);
}

// A fresh, empty directory for the running test, removed with everything in it afterwards.
class ScratchDirectory
{
public:
    explicit ScratchDirectory(const std::string &prefix)
        : m_path(std::filesystem::temp_directory_path() / (prefix + "-" + uniqueTag() + "-" + testName()))
    {
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(m_path, ignored);
        for (int n = 1; n <= 3; ++n)
            std::filesystem::remove_all(lostFolderName(m_path, n), ignored);
    }
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    const std::filesystem::path &path() const { return m_path; }

private:
    // Apart from every other test process, this build's or another's, running at the same time.
    static std::string uniqueTag()
    {
        static const std::string tag = std::to_string(std::random_device{}());
        return tag;
    }

    // Parameterised tests are named "Name/Case": one directory level, not two.
    static std::string testName()
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char &c : name) {
            if (c == '/')
                c = '_';
        }
        return name;
    }

    std::filesystem::path m_path;
};

// The system's words, as the platform layer gives them, for a path whose folder does not exist.
inline std::string missingFolderReason()
{
    const auto path = std::filesystem::temp_directory_path() / "kpx-no-such-folder" / "x";
    auto made = systemFiles().createNew(path.string());
    return std::holds_alternative<FileError>(made) ? std::get<FileError>(made).reason : "(it was made)";
}

// Takes a folder away from under a file open in it, as another program would: removed, or on
// Windows, which keeps a folder until the files open in it are closed, renamed aside.
inline void loseFolder(const std::filesystem::path &folder)
{
    if (!OnWindows) {
        std::filesystem::remove_all(folder);
        return;
    }
    int n = 1;
    while (std::filesystem::exists(lostFolderName(folder, n)))
        ++n;
    std::filesystem::rename(folder, lostFolderName(folder, n));
}

// Lowers the largest file this process may write while it lives: a write beyond it stops part way
// and fails (EFBIG), as on a full disk. Windows and the web have no such limit; tests that need it skip there,
// and the injected faults of FaultyFiles stand in.
class FileSizeLimit
{
public:
#if defined(_WIN32) || defined(__EMSCRIPTEN__)
    static constexpr bool Available = false;
    explicit FileSizeLimit(std::uintmax_t) {}
#else
    static constexpr bool Available = true;
    explicit FileSizeLimit(std::uintmax_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        const rlimit lowered{static_cast<rlim_t>(bytes), m_saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lowered);
        std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
#endif
public:
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
};

#define KPX_SKIP_WITHOUT_FILE_SIZE_LIMIT() \
    if (!::kpx::test::FileSizeLimit::Available) \
    GTEST_SKIP() << "this system has no per-process file-size limit"

// What a command printed on its standard error, and its exit status. The program is named by its
// path as the build wrote it; the arguments are passed through the system's shell unquoted.
struct CommandResult
{
    int status = -1;
    std::string errorOutput;
};

inline CommandResult runForErrors(const std::filesystem::path &program, const std::string &arguments)
{
#ifdef _WIN32
    const std::string command = "\"" + std::filesystem::path(program).make_preferred().string() + "\" " + arguments
        + " 2>&1 >NUL";
    FILE *pipe = ::_popen(command.c_str(), "r");
#else
    const std::string command = "'" + program.string() + "' " + arguments + " 2>&1 >/dev/null";
    FILE *pipe = ::popen(command.c_str(), "r");
#endif
    CommandResult result;
    if (!pipe)
        return result;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        result.errorOutput += buffer;
#ifdef _WIN32
    result.status = ::_pclose(pipe);
#else
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

} // namespace kpx::test
