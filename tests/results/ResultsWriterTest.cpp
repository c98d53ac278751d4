#include "results/ResultsWriter.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace kpx {
namespace {

namespace fs = std::filesystem;
using test::readFile;

RunResults sampleResults()
{
    RunResults results;
    const double points[] = {97.5, 92.5, 62.5, 47.5, 32.5, 22.5, 2.5};
    const std::int16_t counts[] = {14, 9, 10, 21, 7, 12, 30};
    for (int k = 1; k <= DelayCount; ++k) {
        results.IndifferencePoints[k] = points[k - 1];
        results.TrialCounts[k] = counts[k - 1];
    }
    return results;
}

class ResultsWriterTest : public ::testing::Test
{
protected:
    int entries() const { return static_cast<int>(std::distance(fs::directory_iterator(dir), fs::directory_iterator())); }

    test::ScratchDirectory scratch{"kpx-results"};
    fs::path dir = scratch.path();
};

TEST_F(ResultsWriterTest, WritesBothFilesByteForByte)
{
    ASSERT_FALSE(WriteResults("S01", dir.string(), sampleResults()));

    EXPECT_EQ(readFile(dir / "S01.KPX"),
              "S01\r\n 97.5 \r\n 92.5 \r\n 62.5 \r\n 47.5 \r\n 32.5 \r\n 22.5 \r\n 2.5 \r\n");
    EXPECT_EQ(readFile(dir / "S01.TC"), "S01\r\n 14 \r\n 9 \r\n 10 \r\n 21 \r\n 7 \r\n 12 \r\n 30 \r\n");
    EXPECT_EQ(entries(), 2) << "no temporary file may be left behind";
}

TEST_F(ResultsWriterTest, UsesTheGivenDecimalSeparatorAndKeepsTheSubjectIdAsTyped)
{
    ASSERT_FALSE(WriteResults(" Bob, 3 ", dir.string(), sampleResults(), {',', '/'}));
    const std::string text = readFile(dir / " Bob, 3 .KPX");
    EXPECT_EQ(text.substr(0, 20), " Bob, 3 \r\n 97,5 \r\n 9");
}

TEST_F(ResultsWriterTest, AppendsTheSeparatorEvenWhenTheDirectoryEndsInOne)
{
    const ResultsPaths paths = ResultsPathsFor("S1", "/data/", {});
    EXPECT_EQ(paths.indifferencePoints, "/data//S1.KPX");
    EXPECT_EQ(paths.trialCounts, "/data//S1.TC");

    ASSERT_FALSE(WriteResults("S1", dir.string() + "/", sampleResults()));
    EXPECT_TRUE(fs::exists(dir / "S1.KPX"));
}

TEST_F(ResultsWriterTest, ReplacesALongerExistingFileCompletely)
{
    std::ofstream(dir / "S01.KPX") << std::string(5000, 'x');
    std::ofstream(dir / "S01.TC") << std::string(5000, 'y');

    ASSERT_FALSE(WriteResults("S01", dir.string(), sampleResults()));

    EXPECT_EQ(readFile(dir / "S01.KPX"),
              "S01\r\n 97.5 \r\n 92.5 \r\n 62.5 \r\n 47.5 \r\n 32.5 \r\n 22.5 \r\n 2.5 \r\n");
    EXPECT_EQ(readFile(dir / "S01.TC").find('y'), std::string::npos);
}

TEST_F(ResultsWriterTest, MissingDirectoryIsReportedWithTheFileAndReason)
{
    const auto failure = WriteResults("S01", (dir / "nowhere").string(), sampleResults());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path, (dir / "nowhere" / "S01.KPX").string());
    EXPECT_EQ(failure->reason, "No such file or directory");
}

TEST_F(ResultsWriterTest, EmptyDirectoryIsAFailureNotTheTopOfTheFileSystem)
{
    const auto failure = WriteResults("S01", "", sampleResults());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, NoDirectoryReason);
    EXPECT_FALSE(fs::exists("/S01.KPX"));
}

TEST_F(ResultsWriterTest, DirectoryWhereNothingCanBeCreatedIsReported)
{
    // Even root cannot create files in /proc.
    const auto failure = WriteResults("S01", "/proc", sampleResults());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path, "/proc/S01.KPX");
    EXPECT_FALSE(failure->reason.empty());
}

TEST_F(ResultsWriterTest, ReadOnlyDirectoryIsReportedAndLeavesTheOldFileIntact)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    std::ofstream(dir / "S01.KPX") << "old";
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);

    const auto failure = WriteResults("S01", dir.string(), sampleResults());

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, "Permission denied");
    EXPECT_EQ(readFile(dir / "S01.KPX"), "old");
}

TEST_F(ResultsWriterTest, SubjectIdWithASlashIsRefusedEvenWhenTheSubdirectoryExists)
{
    fs::create_directories(dir / "a");

    const auto failure = WriteResults("a/b", dir.string(), sampleResults());

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path, (dir / "a/b.KPX").string());
    EXPECT_NE(failure->reason.find("'/'"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir / "a"));
}

TEST_F(ResultsWriterTest, SecondFileFailureNamesTheTrialCountFile)
{
    fs::create_directories(dir / "S01.TC" / "blocker");

    const auto failure = WriteResults("S01", dir.string(), sampleResults());

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path, (dir / "S01.TC").string());
    EXPECT_TRUE(fs::exists(dir / "S01.KPX"));
    EXPECT_EQ(entries(), 2) << "the temporary file must be removed after a failed rename";
}

} // namespace
} // namespace kpx
