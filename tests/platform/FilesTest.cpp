#include "platform/Files.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <variant>

namespace kpx {
namespace {

namespace fs = std::filesystem;

// What another program does to the folder or the file while this one holds the file open.
struct Disturbance
{
    const char *name;
    std::function<void(const fs::path &folder, const fs::path &file)> act;
    bool stillThere;
    // Wine removes a file that is open only once it is closed, and shows nothing of it before.
    bool wineShowsIt = true;
};

void PrintTo(const Disturbance &d, std::ostream *os)
{
    *os << d.name;
}

class OpenFileIdentity : public ::testing::TestWithParam<Disturbance>
{
protected:
    test::ScratchDirectory scratch{"kpx-files"};
};

// A file written on after it lost its place is seen by nobody: each way of losing it must show.
TEST_P(OpenFileIdentity, TellsWhetherTheFileAtItsPathIsStillThisOne)
{
    if (test::underWine() && !GetParam().wineShowsIt)
        GTEST_SKIP() << "wine shows nothing of this while the file is open";
    const fs::path folder = scratch.path() / "g";
    fs::create_directories(folder);
    const fs::path file = folder / "S01.trials.csv";
    auto created = systemFiles().createNew(file.string());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<OpenFile>>(created)) << std::get<FileError>(created).reason;
    OpenFile &open = *std::get<std::unique_ptr<OpenFile>>(created);
    ASSERT_FALSE(open.writeAt(0, "header\r\n"));

    GetParam().act(folder, file);

    EXPECT_EQ(open.isStillAt(file.string()), GetParam().stillThere);
    EXPECT_FALSE(open.close());
}

INSTANTIATE_TEST_SUITE_P(
    Disturbances, OpenFileIdentity,
    ::testing::Values(
        Disturbance{"Untouched", [](const fs::path &, const fs::path &) {}, true},
        Disturbance{"Removed", [](const fs::path &, const fs::path &file) { fs::remove(file); }, false, false},
        Disturbance{"RenamedAway", [](const fs::path &, const fs::path &file) { fs::rename(file, file.string() + ".old"); },
                    false},
        Disturbance{"ReplacedByAnother",
                    [](const fs::path &, const fs::path &file) {
                        fs::rename(file, file.string() + ".old");
                        std::ofstream(file) << "someone else's";
                    },
                    false},
        Disturbance{"FolderLost", [](const fs::path &folder, const fs::path &) { test::loseFolder(folder); }, false},
        // Renamed onto its path, as a whole copy of the log is: it is the file there.
        Disturbance{"MovedBackInPlace",
                    [](const fs::path &, const fs::path &file) {
                        fs::rename(file, file.string() + ".tmp");
                        fs::rename(file.string() + ".tmp", file);
                    },
                    true}),
    [](const ::testing::TestParamInfo<Disturbance> &info) { return std::string(info.param.name); });

} // namespace
} // namespace kpx
