#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mount.h>
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

// A small file system of the test's own (tmpfs), so a disk can really fill up. Mounting needs
// privileges a test run may lack: check mounted() and skip without them.
class SmallDisk
{
public:
    SmallDisk(const std::filesystem::path &where, const std::string &size)
        : m_path(where)
    {
        std::filesystem::create_directories(m_path);
        m_mounted = ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }

    // Fills the disk to the last byte, then frees the given number of bytes.
    void fillLeaving(std::size_t bytes) const
    {
        const std::filesystem::path filler = m_path / "filler";
        std::ofstream out(filler, std::ios::binary);
        const std::string block(4096, 'f');
        while (out.write(block.data(), static_cast<std::streamsize>(block.size())) && out.flush()) {
        }
        out.close();
        const auto size = std::filesystem::file_size(filler);
        std::filesystem::resize_file(filler, size > bytes ? size - bytes : 0);
    }

private:
    std::filesystem::path m_path;
    bool m_mounted = false;
};

// Lowers the largest file this process may write while it lives; a write beyond it fails part way
// (EFBIG), as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(std::uintmax_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &lowered);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
};

} // namespace kpx::test
