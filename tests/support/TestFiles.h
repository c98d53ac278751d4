#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace kpx::test {

// The whole file, byte for byte.
inline std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh, empty directory for the running test, removed with everything in it afterwards.
class ScratchDirectory
{
public:
    explicit ScratchDirectory(const std::string &prefix)
        : m_path(std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()) + "-" + testName()))
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
    }
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    const std::filesystem::path &path() const { return m_path; }

private:
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

// Lowers the largest file this process may write while it lives: a write beyond it stops part way
// and fails (EFBIG), as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(std::uintmax_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        const rlimit lowered{static_cast<rlim_t>(bytes), m_saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lowered);
        std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
};

} // namespace kpx::test
