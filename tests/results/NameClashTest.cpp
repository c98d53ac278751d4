#include "results/ResultsWriter.h"

#include "CaseFoldingFiles.h"
#include "FaultyFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <set>
#include <string>

namespace kpx {
namespace {

namespace fs = std::filesystem;
using test::CaseFoldingFiles;
using test::FaultyFiles;
using test::FileOp;
using test::readFile;

RunResults resultsOf(double point, std::int16_t count)
{
    RunResults results;
    for (int k = 1; k <= DelayCount; ++k) {
        results.IndifferencePoints[k] = point;
        results.TrialCounts[k] = count;
    }
    return results;
}

// The first participant's results, and the second's, told apart by every number.
const RunResults First = resultsOf(97.5, 11);
const RunResults Second = resultsOf(2.5, 22);

// Which files the runs go through: a fake case-insensitive volume, or the system's own, which folds
// case on Windows (and under wine) but not on Linux's usual file systems.
struct Volume
{
    const char *name;
    bool fake;
    bool folds() const { return fake || test::OnWindows; }
    friend void PrintTo(const Volume &volume, std::ostream *out) { *out << volume.name; }
};

class NameClash : public ::testing::TestWithParam<Volume>
{
protected:
    Files &files() { return GetParam().fake ? static_cast<Files &>(folding) : systemFiles(); }

    std::optional<WriteFailure> write(const std::string &subject, const RunResults &results, Files &through)
    {
        return WriteResults(subject, dir.string(), results, {}, through);
    }
    std::optional<WriteFailure> write(const std::string &subject, const RunResults &results)
    {
        return write(subject, results, files());
    }

    std::set<std::string> names() const
    {
        std::set<std::string> found;
        for (const auto &entry : fs::directory_iterator(dir))
            found.insert(entry.path().filename().string());
        return found;
    }

    // The file's text under its name as the folder lists it.
    std::string listed(const std::string &name) const
    {
        return names().count(name) ? readFile(dir / name) : "missing";
    }

    std::string expectedText(const std::string &subject, const RunResults &results, bool kpx)
    {
        test::ScratchDirectory other{"kpx-clash-expected"};
        EXPECT_FALSE(WriteResults(subject, other.path().string(), results));
        return readFile(other.path() / (subject + (kpx ? ".KPX" : ".TC")));
    }

    test::ScratchDirectory scratch{"kpx-clash"};
    fs::path dir = scratch.path();
    CaseFoldingFiles folding;
};

TEST_P(NameClash, AnIdDifferingOnlyInCaseNeverTakesTheOtherSubjectsFiles)
{
    ASSERT_FALSE(write("s01", First));
    const std::string firstKpx = listed("s01.KPX");
    const std::string firstTc = listed("s01.TC");

    const std::optional<std::string> clash = resultsNameClash("S01", dir.string(), files());
    const std::optional<WriteFailure> failure = write("S01", Second);

    if (!GetParam().folds()) {
        EXPECT_FALSE(clash);
        EXPECT_FALSE(failure);
        EXPECT_EQ(names(), (std::set<std::string>{"s01.KPX", "s01.TC", "S01.KPX", "S01.TC"}));
        return;
    }
    ASSERT_TRUE(clash) << "told before the run";
    EXPECT_NE(clash->find("s01.KPX"), std::string::npos) << *clash;
    ASSERT_TRUE(failure) << "the write itself refuses too";
    EXPECT_NE(failure->reason.find("s01.KPX"), std::string::npos) << failure->reason;
    EXPECT_EQ(names(), (std::set<std::string>{"s01.KPX", "s01.TC"})) << "nothing else made, nothing left";
    EXPECT_EQ(listed("s01.KPX"), firstKpx);
    EXPECT_EQ(listed("s01.TC"), firstTc);
}

TEST_P(NameClash, ARerunUnderExactlyTheSameIdReplacesThePair)
{
    ASSERT_FALSE(write("s01", First));
    EXPECT_FALSE(resultsNameClash("s01", dir.string(), files()));
    ASSERT_FALSE(write("s01", Second));
    EXPECT_EQ(names(), (std::set<std::string>{"s01.KPX", "s01.TC"}));
    EXPECT_EQ(listed("s01.KPX"), expectedText("s01", Second, true));
    EXPECT_EQ(listed("s01.TC"), expectedText("s01", Second, false));
}

// An s01 write stopped with its .KPX aside, then S01, then s01 again on a full disk: the .TC left in
// place must not be taken for S01's, nor S01's .KPX be replaced by s01's kept-aside one.
TEST_P(NameClash, AnInterruptedWriteThenAnotherCaseThenAFullDiskLeavesNoMixedPair)
{
    ASSERT_FALSE(write("s01", First));
    const std::string firstKpx = listed("s01.KPX");
    const std::string firstTc = listed("s01.TC");
    {
        FaultyFiles stopped(files());
        stopped.killAt(FileOp::MoveNew, 2); // the .KPX is aside, the .TC not yet
        EXPECT_THROW(write("s01", First, stopped), test::Killed);
    }
    ASSERT_EQ(listed("s01.KPX"), "missing");

    const std::optional<WriteFailure> second = write("S01", Second);
    if (GetParam().folds()) {
        ASSERT_TRUE(second);
        EXPECT_NE(second->reason.find("s01.TC"), std::string::npos) << second->reason;
        EXPECT_EQ(listed("s01.TC"), firstTc);
    }

    FaultyFiles full(files());
    full.fillDisk(dir.string());
    EXPECT_TRUE(write("s01", First, full));

    // Each pair on disk is one run's, whatever its names' case.
    const std::string kpx = listed("s01.KPX");
    EXPECT_EQ(kpx, firstKpx) << "the interrupted write's .KPX is put back";
    EXPECT_EQ(listed("s01.TC"), firstTc);
    if (!GetParam().folds()) {
        EXPECT_EQ(listed("S01.KPX"), expectedText("S01", Second, true));
        EXPECT_EQ(listed("S01.TC"), expectedText("S01", Second, false));
    } else {
        EXPECT_EQ(names().count("S01.KPX") + names().count("S01.TC"), 0u);
    }
}

// Another program makes s01's files while S01's are being written: a write failure naming them.
TEST_P(NameClash, AClashAppearingDuringTheWriteFailsItAndTouchesNoOtherFile)
{
    if (!GetParam().fake)
        GTEST_SKIP() << "the fake's hook makes the other file mid-write";
    folding.beforeFirstCreate([&] {
        std::ofstream(dir / "s01.TC", std::ios::binary) << "theirs";
    });
    const std::optional<WriteFailure> failure = write("S01", Second);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->reason.find("s01.TC"), std::string::npos) << failure->reason;
    EXPECT_EQ(listed("s01.TC"), "theirs");
    EXPECT_EQ(names(), (std::set<std::string>{"s01.TC"})) << "the new files go, none stays half in place";
}

INSTANTIATE_TEST_SUITE_P(Volumes, NameClash,
                         ::testing::Values(Volume{"OnAFakeCaseFoldingVolume", true},
                                           Volume{"OnThisSystemsOwnFiles", false}),
                         [](const auto &info) { return std::string(info.param.name); });

struct NameCase
{
    const char *name;
    const char *onDisk; // nullptr: nothing there
    const char *asked;
    const char *named;  // the other file the answer names; nullptr: no clash
    friend void PrintTo(const NameCase &c, std::ostream *out) { *out << c.name; }
};

class TakenByOtherName : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(TakenByOtherName, NamesTheEntryTheVolumeTookTheNameFor)
{
    test::ScratchDirectory scratch{"kpx-taken"};
    CaseFoldingFiles folding;
    if (GetParam().onDisk)
        std::ofstream(scratch.path() / GetParam().onDisk) << "x";
    const auto reason = takenByOtherName((scratch.path() / GetParam().asked).string(), folding);
    if (!GetParam().named) {
        EXPECT_FALSE(reason) << *reason;
        return;
    }
    ASSERT_TRUE(reason);
    EXPECT_NE(reason->find(GetParam().named), std::string::npos) << *reason;
}

INSTANTIATE_TEST_SUITE_P(
    Names, TakenByOtherName,
    ::testing::Values(NameCase{"NothingThereIsNoClash", nullptr, "S01.KPX", nullptr},
                      NameCase{"TheSameNameIsNoClash", "S01.KPX", "S01.KPX", nullptr},
                      NameCase{"AnotherNameIsNoClash", "S02.KPX", "S01.KPX", nullptr},
                      NameCase{"TheIdInOtherCaseIsNamed", "s01.KPX", "S01.KPX", "s01.KPX"},
                      NameCase{"TheSuffixInOtherCaseIsNamed", "S01.kpx", "S01.KPX", "S01.kpx"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace kpx
