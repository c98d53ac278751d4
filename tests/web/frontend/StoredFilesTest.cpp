#include "web/StoredFiles.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kpx {
namespace {

// The page's memory files, with what the browser was asked to keep and what it held then.
class StoredFilesTest : public testing::Test
{
protected:
    test::ScratchDirectory dir{"kpx2-stored-files"};
    std::vector<std::pair<std::string, std::string>> kept;
    std::optional<FileError> refuse;
    web::StoredFiles files{systemFiles(), [this](const std::string &path) -> FileStatus {
        if (refuse)
            return refuse;
        kept.emplace_back(fileNameOf(path), test::readFile(path));
        return std::nullopt;
    }};

    std::unique_ptr<OpenFile> create(const std::string &name)
    {
        auto created = files.createNew((dir.path() / name).string());
        return std::move(std::get<std::unique_ptr<OpenFile>>(created));
    }
};

TEST_F(StoredFilesTest, ASyncedTrialLogIsKeptWholeByTheBrowser)
{
    auto log = create("S1_20261209-120000.trials.csv");
    ASSERT_FALSE(log->writeAt(0, "header\r\n"));
    ASSERT_FALSE(log->sync());
    ASSERT_FALSE(log->writeAt(8, "row\r\n"));
    ASSERT_FALSE(log->sync());
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].second, "header\r\n");
    EXPECT_EQ(kept[1].second, "header\r\nrow\r\n");
}

TEST_F(StoredFilesTest, OtherFilesAreLeftToThePage)
{
    auto results = create("S1.KPX.tmp");
    ASSERT_FALSE(results->writeAt(0, "S1\r\n"));
    ASSERT_FALSE(results->sync());
    EXPECT_TRUE(kept.empty());
}

// A sync the browser did not keep is a failed sync: the trial log then tells it and holds the row back.
TEST_F(StoredFilesTest, ARefusalOfTheBrowsersFailsTheSync)
{
    auto log = create("S1_20261209-120000.trials.csv");
    refuse = FileError{"quota exceeded"};
    const FileStatus status = log->sync();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->reason, "quota exceeded");
}

TEST_F(StoredFilesTest, ALogNamedByARenameIsKeptUnderItsNewName)
{
    auto log = create("S1.partial");
    ASSERT_FALSE(log->writeAt(0, "header\r\n"));
    ASSERT_FALSE(log->sync());
    EXPECT_TRUE(kept.empty());
    const std::string named = (dir.path() / "S1_20261209-120000.trials.csv").string();
    ASSERT_FALSE(files.moveNew((dir.path() / "S1.partial").string(), named));
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].first, "S1_20261209-120000.trials.csv");
    // The open file now writes the log under its new name.
    ASSERT_FALSE(log->writeAt(8, "row\r\n"));
    ASSERT_FALSE(log->sync());
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1].second, "header\r\nrow\r\n");
}

} // namespace
} // namespace kpx
