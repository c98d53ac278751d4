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

// A file written on after it lost its place is seen by nobody: each way another program can take
// it away must show, and a file renamed over another (as a whole copy of the log is) is at its new path.
TEST(OpenFileIdentity, TellsWhetherTheFileAtItsPathIsStillThisOne)
{
    struct Disturbance
    {
        const char *name;
        // Does it, and says which path the open file is looked for at.
        std::function<fs::path(const fs::path &folder, const fs::path &file)> act;
        bool stillThere;
    };
    const auto aside = [](const fs::path &file) { fs::rename(file, file.string() + ".old"); };
    const Disturbance disturbances[] = {
        {"untouched", [](auto &, auto &file) { return file; }, true},
        {"removed", [](auto &, auto &file) { return fs::remove(file), file; }, false},
        {"renamed away", [&](auto &, auto &file) { return aside(file), file; }, false},
        {"replaced", [&](auto &, auto &file) { return aside(file), std::ofstream(file) << "x", file; }, false},
        {"folder lost", [](auto &folder, auto &file) { return test::loseFolder(folder), file; }, false},
        {"renamed over another", [](auto &folder, auto &file) {
             std::ofstream(folder / "S01.csv") << "older";
             return fs::rename(file, folder / "S01.csv"), folder / "S01.csv";
         }, true}};
    for (const Disturbance &d : disturbances) {
        SCOPED_TRACE(d.name);
        // Wine removes a file that is open only once it is closed, and shows nothing of it before.
        if (test::underWine() && std::string(d.name) == "removed")
            continue;
        test::ScratchDirectory scratch{"kpx-files"};
        const fs::path folder = scratch.path() / "g";
        fs::create_directories(folder);
        const fs::path file = folder / "S01.trials.csv";
        auto created = systemFiles().createNew(file.string());
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<OpenFile>>(created));
        OpenFile &open = *std::get<std::unique_ptr<OpenFile>>(created);
        ASSERT_FALSE(open.writeAt(0, "header\r\n"));

        const fs::path lookedFor = d.act(folder, file);

        EXPECT_EQ(open.isStillAt(lookedFor.string()), d.stillThere);
        EXPECT_FALSE(open.close());
    }
}

} // namespace
} // namespace kpx
