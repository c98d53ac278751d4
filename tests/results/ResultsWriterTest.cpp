#include "results/ResultsWriter.h"
#include "i18n/Tr.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

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
    // Windows drops a trailing space from a file name, so there it is refused.
    const std::string id = test::OnWindows ? " Bob, 3" : " Bob, 3 ";
    ASSERT_FALSE(WriteResults(id, dir.string(), sampleResults(), {',', '/'}));
    const std::string text = readFile(dir / (id + ".KPX"));
    EXPECT_EQ(text.substr(0, id.size() + 12), id + "\r\n 97,5 \r\n 9");
}

TEST_F(ResultsWriterTest, AppendsTheSeparatorEvenWhenTheDirectoryEndsInOne)
{
    const std::string separator(1, preferredDirectorySeparator());
    const ResultsPaths paths = resultsPathsFor("S1", "data" + separator, {});
    EXPECT_EQ(paths.indifferencePoints, "data" + separator + separator + "S1.KPX");
    EXPECT_EQ(paths.trialCounts, "data" + separator + separator + "S1.TC");

    ASSERT_FALSE(WriteResults("S1", dir.string() + separator, sampleResults()));
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
    EXPECT_EQ(failure->reason, test::missingFolderReason());
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
    // A file where the directory should be: nobody, root included, can create anything below it.
    const std::string notADirectory = (dir / "plain").string();
    std::ofstream(notADirectory) << "x";
    const auto failure = WriteResults("S01", notADirectory, sampleResults());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path, (fs::path(notADirectory) / "S01.KPX").string());
    EXPECT_FALSE(failure->reason.empty());
}

TEST_F(ResultsWriterTest, ReadOnlyDirectoryIsReportedAndLeavesTheOldFileIntact)
{
    if (!test::permissionsBindUs())
        GTEST_SKIP() << "a folder's read-only mode does not bind root, nor anyone on Windows";
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

// Pair atomicity: both files new, or both as they were.

TEST_F(ResultsWriterTest, FailedRenameOfTheSecondFilePutsTheFirstBack)
{
    std::ofstream(dir / "S01.KPX") << "old";
    fs::create_directories(dir / "S01.TC" / "blocker");

    const auto failure = WriteResults("S01", dir.string(), sampleResults());

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path, (dir / "S01.TC").string());
    EXPECT_EQ(readFile(dir / "S01.KPX"), "old");
    EXPECT_EQ(entries(), 2) << "no temporary file may be left behind";
}

// A reader that holds a results file open without sharing its deletion (as most Windows programs
// open files) keeps Windows from moving it: the write fails, names that file, and leaves the old
// pair. Linux moves an open file like any other.
TEST_F(ResultsWriterTest, AnOldFileHeldOpenByAReaderEitherGivesWayOrIsReportedWithThePairKept)
{
    for (const char *held : {"S01.KPX", "S01.TC"}) {
        SCOPED_TRACE(held);
        std::ofstream(dir / "S01.KPX") << "old kpx";
        std::ofstream(dir / "S01.TC") << "old tc";
        std::ifstream reader(dir / held);
        ASSERT_TRUE(reader.is_open());

        const auto failure = WriteResults("S01", dir.string(), sampleResults());

        if (test::OnWindows) {
            ASSERT_TRUE(failure);
            EXPECT_EQ(failure->path, (dir / held).string());
            EXPECT_FALSE(failure->reason.empty());
            EXPECT_EQ(readFile(dir / "S01.KPX"), "old kpx");
            EXPECT_EQ(readFile(dir / "S01.TC"), "old tc");
        } else {
            EXPECT_FALSE(failure);
            EXPECT_EQ(readFile(dir / "S01.KPX").substr(0, 5), "S01\r\n");
        }
        EXPECT_EQ(entries(), 2) << "no temporary or kept-aside file may be left behind";
    }
}

TEST_F(ResultsWriterTest, DiskFullAtTheSecondFileLeavesNoNewFirstFile)
{
    KPX_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    RunResults results = sampleResults();
    for (int k = 1; k <= DelayCount; ++k)
        results.TrialCounts[k] = 12345; // a .TC file longer than the .KPX file
    test::FileSizeLimit full(60);

    const auto failure = WriteResults("S01", dir.string(), results);

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path, (dir / "S01.TC").string());
    EXPECT_EQ(entries(), 0);
}

TEST_F(ResultsWriterTest, LeftoversOfAnInterruptedWriteGoWithTheNextSuccessOthersStay)
{
    for (const char *name : {"S01.KPX.partial-Ab12Cd", "S01.TC.partial-zz99YY", "S02.KPX.partial-Ab12Cd"})
        std::ofstream(dir / name) << "half";

    ASSERT_FALSE(WriteResults("S01", dir.string(), sampleResults()));

    EXPECT_TRUE(fs::exists(dir / "S02.KPX.partial-Ab12Cd"));
    EXPECT_EQ(entries(), 3);
}

// Hostile subject IDs: refused, with the reason, before any file is made; anything printable is kept.
TEST_F(ResultsWriterTest, SubjectIdsThatBreakTheFilesAreRefused)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"S\n1", "line break"}, {"S\r1", "line break"}, {"S\xC2\x85" "1", "line break"},
        {"S\xE2\x80\xA8" "1", "line break"}, {std::string("S\0" "1", 3), "NUL"}, {"lab/S1", "'/'"},
        {"S\t1", "U+0009"}, {"\x1B[31mS1", "U+001B"}, {"S1\x7F", "U+007F"}, {"Zo\xEB", "UTF-8"},
        {"a\xC0\xAF" "b", "UTF-8"}, {"\xED\xA0\x80", "UTF-8"}, {"S\xE2\x82", "UTF-8"},
        {"", ""}, {" Smith, J", ""}, {"-S1", ""}, {"Zo\xC3\xAB \xE6\x97\xA5 \xF0\x9F\x98\x80", ""},
        // What only Windows cannot hold in a file name.
        {"a\\b", test::OnWindows ? "'\\'" : ""}, {" Smith, \"J\" ", test::OnWindows ? "'\"'" : ""},
        {"NUL", test::OnWindows ? "device" : ""}};
    for (const auto &[id, refusal] : cases) {
        const auto reason = unusableSubjectId(id);
        if (refusal.empty())
            EXPECT_FALSE(reason) << ::testing::PrintToString(id);
        else
            EXPECT_NE(reason.value_or("").find(refusal), std::string::npos) << ::testing::PrintToString(id);
    }
    EXPECT_TRUE(WriteResults("S\n1", dir.string(), sampleResults()));
    EXPECT_EQ(entries(), 0);
}

} // namespace
} // namespace kpx

namespace {

// What the setup window and kpx2-sim say of a refused subject ID, in the run's language; the
// character's code is the same in every language.
struct RefusalInLanguage
{
    const char *name;
    const char *language;
    std::string subjectId;
    std::string expected;
};

class SubjectIdRefusal : public ::testing::TestWithParam<RefusalInLanguage>
{
protected:
    void TearDown() override { kpx::i18n::setLanguage(kpx::i18n::DefaultLanguage); }
};

TEST_P(SubjectIdRefusal, IsSaidInTheRunsLanguage)
{
    const RefusalInLanguage &c = GetParam();
    ASSERT_TRUE(kpx::i18n::setLanguage(c.language));
    EXPECT_EQ(kpx::unusableSubjectId(c.subjectId).value_or(""), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, SubjectIdRefusal,
    ::testing::Values(
        RefusalInLanguage{"EnglishIsAsBefore", "en", "S\x01",
                          "the subject ID contains the control character U+0001, which the results files cannot hold"},
        RefusalInLanguage{"GermanNamesTheControlCharacter", "de", "S\x01",
                          "die Versuchspersonen-ID enthält das Steuerzeichen U+0001, das die Ergebnisdateien nicht "
                          "enthalten können"},
        RefusalInLanguage{"GermanNamesTheSeparator", "de", "a/b",
                          "die Versuchspersonen-ID enthält '/', das ein Dateiname nicht enthalten kann"},
        RefusalInLanguage{"SpanishRefusesALineBreak", "es", "S\n1",
                          "el ID del participante contiene un salto de línea, que dividiría la primera línea de los "
                          "archivos de resultados"},
        RefusalInLanguage{"ChineseRefusesBrokenText", "zh_CN", "S\xFF", "被试编号不是有效的 UTF-8 文本"}),
    [](const ::testing::TestParamInfo<RefusalInLanguage> &info) { return std::string(info.param.name); });

} // namespace
