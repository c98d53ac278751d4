#include "results/TrialLog.h"

#include "engine/RandomSource.h"

#include "FaultyFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace kpx {
namespace {

namespace fs = std::filesystem;
using test::readFile;

const LocalDateTime Started{2026, 3, 7, 9, 5, 1};

class TrialLogTest : public ::testing::Test
{
protected:
    TrialLog create(const std::string &subject)
    {
        auto created = TrialLog::create(dir.string(), subject, Started);
        if (auto *failure = std::get_if<WriteFailure>(&created))
            throw std::runtime_error(failure->path + ": " + failure->reason);
        return std::move(std::get<TrialLog>(created));
    }

    test::ScratchDirectory scratch{"kpx-log"};
    fs::path dir = scratch.path();
};

TrialRecord sampleRecord()
{
    TrialRecord record;
    record.trial.block = 3;
    record.trial.delayDays = 30;
    record.trial.delayText = "IN 1 MONTH";
    record.trial.amount = 65;
    record.trial.distractor = true;
    record.trial.immediate = true;
    record.trial.input = ResponseInput::Click;
    record.trial.whiteOnsetMs = 1500.25;
    record.trial.answerableOnsetMs = 3500.5;
    record.trial.responseMs = 4321.0625;
    record.trialInBlock = 10;
    record.bounds = {60, 60, 65, 65};
    record.blockEnded = true;
    record.indifferencePoint = 62.5;
    return record;
}

TEST_F(TrialLogTest, NamesTheFileAfterSubjectAndStartAndWritesTheHeaderAtOnce)
{
    const TrialLog log = create("S01");
    EXPECT_EQ(log.path(), (dir / "S01_20260307-090501.trials.csv").string());
    EXPECT_EQ(readFile(log.path()), TrialLog::header());
    EXPECT_EQ(TrialLog::header().rfind("subject,run_started,block,", 0), 0u);
}

TEST_F(TrialLogTest, NeverOverwritesAnEarlierLogOfTheSameSecond)
{
    std::ofstream(dir / "S01_20260307-090501.trials.csv") << "earlier";
    const TrialLog second = create("S01");
    const TrialLog third = create("S01");
    EXPECT_EQ(second.path(), (dir / "S01_20260307-090501-2.trials.csv").string());
    EXPECT_EQ(third.path(), (dir / "S01_20260307-090501-3.trials.csv").string());
    EXPECT_EQ(readFile(dir / "S01_20260307-090501.trials.csv"), "earlier");
}

TEST_F(TrialLogTest, RowHoldsEveryColumnWithMillisecondsToTheMicrosecond)
{
    TrialLog log = create("S01");
    ASSERT_FALSE(log.append(sampleRecord()));
    EXPECT_EQ(readFile(log.path()), TrialLog::header()
                                        + "S01,2026-03-07T09:05:01,3,30,IN 1 MONTH,10,distractor,65,immediate,click,"
                                          "820.562,60,60,65,65,1,62.5,1500.250,3500.500,4321.062,,,,\r\n");
}

// The display's scale, the page's two frame measures and the language are the last columns, in the
// header too, so that readers of older logs that find columns by name or by position up to response_ms
// read newer ones unchanged.
TEST_F(TrialLogTest, RowEndsWithTheDisplayScaleTheFrameMeasuresAndTheLanguage)
{
    const std::string header = TrialLog::header();
    EXPECT_TRUE(header.ends_with("response_ms,display_scale,frame_interval_ms,fullscreen_exits,language\r\n")) << header;
    const TrialLog log = create("S01");
    struct Ending
    {
        std::optional<double> scale;
        std::optional<double> intervalMs;
        std::optional<int> exits;
        const char *language;
        const char *text;
    };
    // A point, never the system's separator; the interval to the microsecond; the delay's words stay
    // English in every language's log, the language in its own column.
    for (const Ending &end : {Ending{1.5, {}, {}, "", ",1.5,,,\r\n"}, Ending{1.272, {}, {}, "", ",1.272,,,\r\n"},
                              Ending{2.0, {}, {}, "", ",2,,,\r\n"}, Ending{1.0, 16.6666, 0, "", ",1,16.667,0,\r\n"},
                              Ending{1.0, 8.3333, 3, "de", ",1,8.333,3,de\r\n"},
                              Ending{{}, {}, {}, "zh_CN", ",,,,zh_CN\r\n"}}) {
        TrialRecord record = sampleRecord();
        record.trial.displayScale = end.scale;
        record.trial.frameIntervalMs = end.intervalMs;
        record.trial.fullScreenExits = end.exits;
        record.trial.language = end.language;
        const std::string row = log.row(record);
        EXPECT_EQ(row.substr(row.find("4321.062") + 8), end.text) << end.text;
        EXPECT_NE(row.find(",IN 1 MONTH,"), std::string::npos);
    }
}

TEST_F(TrialLogTest, OrdinaryRowLeavesTheIndifferencePointEmpty)
{
    TrialLog log = create("S01");
    TrialRecord record = sampleRecord();
    record.blockEnded = false;
    record.indifferencePoint.reset();
    record.trial.distractor = false;
    record.trial.immediate = false;
    record.trial.input = ResponseInput::Key;
    EXPECT_NE(log.row(record).find(",ordinary,65,delayed,key,"), std::string::npos);
    EXPECT_NE(log.row(record).find(",65,0,,1500.250,"), std::string::npos) << log.row(record);
}

TEST_F(TrialLogTest, SubjectWithCommaOrQuoteIsQuoted)
{
    // Windows file names hold no quote; the comma alone is quoted there.
    TrialLog log = create(test::OnWindows ? "Smith, J" : "Smith, \"J\"");
    const char *quoted = test::OnWindows ? "\"Smith, J\"," : "\"Smith, \"\"J\"\"\",";
    EXPECT_EQ(log.row(sampleRecord()).rfind(std::string(quoted) + "2026-03-07T09:05:01,", 0), 0u);
}

TEST_F(TrialLogTest, UncreatableLogIsReportedWithItsPathAndReason)
{
    auto missing = TrialLog::create((dir / "gone").string(), "S01", Started);
    ASSERT_TRUE(std::holds_alternative<WriteFailure>(missing));
    EXPECT_EQ(std::get<WriteFailure>(missing).reason, test::missingFolderReason());

    auto slash = TrialLog::create(dir.string(), "a/b", Started);
    ASSERT_TRUE(std::holds_alternative<WriteFailure>(slash));
    EXPECT_NE(std::get<WriteFailure>(slash).reason.find("'/'"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir));
}

// Row integrity: all 23 fields in every row, as an independent CSV reader (Python's) sees them.
// Windows has no Python here; its rows are compared byte for byte with these by scripts/test-windows.
TEST_F(TrialLogTest, RowsKeepEveryFieldInPlaceWhateverTheSubjectHolds)
{
    if (test::OnWindows)
        GTEST_SKIP() << "no Python to read the rows back";
    const std::vector<std::string> subjects = {"",        "Smith, J", "say \"hi\"",  "cr\rhere",
                                               "lf\nhere", "-S1",      "Zo\xC3\xAB"};
    TrialLog log = create(""); // the empty ID that the setup window's Cancel gives, through a real log
    ASSERT_FALSE(log.append(sampleRecord()));
    std::string text = readFile(log.path());
    for (const std::string &subject : subjects)
        text += trialLogRow(subject, "2026-03-07T09:05:01", sampleRecord());
    std::ofstream(dir / "rows.csv", std::ios::binary) << text;

    const std::string command = "python3 -c 'import csv, sys\n"
                                "rows = csv.reader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\"))\n"
                                "for row in list(rows)[1:]:\n"
                                "    print(len(row), repr(row[0]))' " + (dir / "rows.csv").string();
    FILE *python = ::popen(command.c_str(), "r");
    ASSERT_TRUE(python);
    char line[256];
    std::string read;
    while (std::fgets(line, sizeof line, python))
        read += line;
    ASSERT_EQ(::pclose(python), 0);
    EXPECT_EQ(read, "24 ''\n24 ''\n24 'Smith, J'\n24 'say \"hi\"'\n24 'cr\\rhere'\n24 'lf\\nhere'\n24 '-S1'\n"
                    "24 'Zo\xC3\xAB'\n");
}

// Disk full: a row is on disk whole or not at all.
TEST_F(TrialLogTest, FailedAppendLeavesOnlyWholeRowsAndTheNextAppendWritesWhatWasMissed)
{
    KPX_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    TrialLog log = create("S01");
    ASSERT_FALSE(log.append(sampleRecord()));
    const std::string oneRow = readFile(log.path());
    const std::string row = log.row(sampleRecord());
    {
        // Room for all but the end of the next row, which would look almost complete.
        test::FileSizeLimit full(oneRow.size() + row.size() - 3);
        const auto failure = log.append(sampleRecord());
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->reason, std::strerror(EFBIG));
        EXPECT_EQ(readFile(log.path()), oneRow);
    }
    ASSERT_FALSE(log.flush());
    EXPECT_EQ(readFile(log.path()), oneRow + row);
    ASSERT_FALSE(log.append(sampleRecord()));
    EXPECT_EQ(readFile(log.path()), oneRow + row + row);
}

// Calls failing while a row goes out: the file never holds a torn row, and never a row after one.
struct RowFault
{
    const char *name;
    std::vector<std::pair<test::FileOp, bool>> failing; // each from its next call; true: and every later one
    bool noRoomForACopy; // the next file cannot be created
    bool failureReported;
    bool heldBack; // the failed row is missing from the file until the next write
};

class TrialLogRowFault : public TrialLogTest, public ::testing::WithParamInterface<RowFault>
{
};

TEST_P(TrialLogRowFault, LeavesWholeRowsAndTheNextWriteCompletesThem)
{
    test::FaultyFiles files;
    auto created = TrialLog::create(dir.string(), "S01", Started, files);
    TrialLog &log = std::get<TrialLog>(created);
    ASSERT_FALSE(log.append(sampleRecord()));
    const std::string row = log.row(sampleRecord());
    for (const auto &[op, onwards] : GetParam().failing)
        files.failAt(op, files.calls(op) + 1, onwards);
    if (GetParam().noRoomForACopy)
        files.failAt(test::FileOp::Create, files.calls(test::FileOp::Create) + 1);

    EXPECT_EQ(static_cast<bool>(log.append(sampleRecord())), GetParam().failureReported);
    const std::string onDisk = readFile(log.path());
    EXPECT_EQ(log.rowsMissing(), GetParam().heldBack ? 1u : 0u);
    if (GetParam().heldBack) {
        // Torn or not, what a reader sees ends in a whole row.
        EXPECT_TRUE(onDisk == TrialLog::header() + row || onDisk.starts_with(TrialLog::header() + row)) << onDisk;
    } else {
        EXPECT_EQ(onDisk, TrialLog::header() + row + row);
    }

    ASSERT_FALSE(log.append(sampleRecord()));
    EXPECT_EQ(readFile(log.path()), TrialLog::header() + row + row + row);
    EXPECT_EQ(log.rowsMissing(), 0u);
    EXPECT_EQ(files.openFiles(), 1);
}

using test::FileOp;
INSTANTIATE_TEST_SUITE_P(
    Faults, TrialLogRowFault,
    ::testing::Values(RowFault{"WriteFailsAndIsCutBack", {{FileOp::Write, false}}, false, true, true},
                      RowFault{"SyncFailsAndIsCutBack", {{FileOp::Sync, false}}, false, true, true},
                      RowFault{"CutBackFailsSoAWholeCopyTakesTheFilesPlace",
                               {{FileOp::Write, false}, {FileOp::Truncate, false}}, false, false, false},
                      // The cut-back keeps failing, and the disk has no room for a copy until later.
                      RowFault{"CutBackAndCopyFailSoTheNextWriteStartsFromAWholeCopy",
                               {{FileOp::Write, false}, {FileOp::Truncate, true}}, true, true, true}),
    [](const auto &info) { return std::string(info.param.name); });

// The copy made when a cut-back fails cannot be put in the file's place (on Windows: another program
// has the log open): nothing is written over the torn file, and every row waits to be written whole.
TEST_F(TrialLogTest, ACopyThatCannotTakeTheFilesPlaceLeavesEveryRowForTheLogWrittenAgain)
{
    test::FaultyFiles files;
    TrialLog log = std::get<TrialLog>(TrialLog::create(dir.string(), "S01", Started, files));
    ASSERT_FALSE(log.append(sampleRecord()));
    for (const FileOp op : {FileOp::Write, FileOp::Truncate, FileOp::Replace})
        files.failAt(op, files.calls(op) + 1);

    ASSERT_TRUE(log.append(sampleRecord()));
    EXPECT_TRUE(log.lost());
    EXPECT_EQ(log.rowsMissing(), 2u);
    EXPECT_EQ(files.openFiles(), 0);
    EXPECT_EQ(fs::directory_iterator(dir)->path().filename(), fs::path(log.path()).filename()) << "no copy left";

    ASSERT_FALSE(log.writeAgain(dir.string(), "S01"));
    const std::string row = log.row(sampleRecord());
    EXPECT_EQ(readFile(log.path()), TrialLog::header() + row + row);
}

// Another program holds the log open while a failed write cannot be cut back: the copy cannot take
// its place. The log is told as given up for that reason, its rows go whole into a new file, and the
// torn one is removed once that is whole, or named while it is still held.
struct HeldCase
{
    const char *name;
    bool letGoBeforeWrittenAgain;
};

class TrialLogHeldOpen : public ::testing::TestWithParam<HeldCase>
{
protected:
    test::ScratchDirectory scratch{"kpx-log-held"};
    fs::path dir = scratch.path();
};

TEST_P(TrialLogHeldOpen, TheTornFileGoesOnceItsRowsAreWholeElsewhereOrIsNamed)
{
    test::FaultyFiles files;
    TrialLog log = std::get<TrialLog>(TrialLog::create(dir.string(), "S01", Started, files));
    const std::string torn = log.path();
    ASSERT_FALSE(log.append(sampleRecord()));
    files.holdOpen(torn);
    for (const FileOp op : {FileOp::Write, FileOp::Truncate})
        files.failAt(op, files.calls(op) + 1);

    const std::optional<WriteFailure> failure = log.append(sampleRecord());
    ASSERT_TRUE(failure);
    EXPECT_TRUE(log.lost());
    EXPECT_EQ(failure->reason, log.lostReason());
    EXPECT_EQ(log.lostReason().find("removed or replaced"), std::string::npos) << log.lostReason();
    EXPECT_NE(log.lostReason().find(test::FaultyFiles::heldOpen().reason), std::string::npos) << log.lostReason();
    EXPECT_EQ(log.tornFile(), torn);

    if (GetParam().letGoBeforeWrittenAgain)
        files.letGo();
    ASSERT_FALSE(log.writeAgain(dir.string(), "S01"));
    const std::string row = log.row(sampleRecord());
    EXPECT_EQ(readFile(log.path()), TrialLog::header() + row + row);
    EXPECT_NE(log.path(), torn);
    EXPECT_TRUE(log.lostReason().empty());
    if (GetParam().letGoBeforeWrittenAgain) {
        EXPECT_FALSE(fs::exists(torn));
        EXPECT_FALSE(log.tornFile());
    } else {
        EXPECT_TRUE(fs::exists(torn));
        EXPECT_EQ(log.tornFile(), torn);
        // Tried again with the next whole write, once the other program has let go.
        files.letGo();
        ASSERT_FALSE(log.writeAgain(dir.string(), "S01b"));
        EXPECT_FALSE(fs::exists(torn));
        EXPECT_FALSE(log.tornFile());
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "only the whole log";
}

INSTANTIATE_TEST_SUITE_P(Holders, TrialLogHeldOpen,
                         ::testing::Values(HeldCase{"LetGoBeforeTheLogIsWrittenAgain", true},
                                           HeldCase{"StillHeldWhenTheLogIsWrittenAgain", false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(TrialLogTest, ALogThatCannotBeMadeDurableIsNotCreatedAndLeavesNothingOpen)
{
    for (const FileOp op : {FileOp::Write, FileOp::Sync, FileOp::SyncDirectory}) {
        test::FaultyFiles files;
        files.failAt(op, 1);
        auto created = TrialLog::create(dir.string(), "S01", Started, files);
        ASSERT_TRUE(std::holds_alternative<WriteFailure>(created));
        EXPECT_EQ(std::get<WriteFailure>(created).reason, test::FaultyFiles::injected().reason);
        EXPECT_TRUE(fs::is_empty(dir));
        EXPECT_EQ(files.openFiles(), 0);
    }
}

TEST_F(TrialLogTest, WrittenAgainUnderAnotherSubjectTheOldFileGoesOnceTheNewOneIsWhole)
{
    TrialLog log = create("S9");
    const std::string old = log.path();
    ASSERT_FALSE(log.append(sampleRecord()));
    ASSERT_FALSE(log.writeAgain(dir.string(), "S9b"));

    EXPECT_FALSE(fs::exists(old));
    EXPECT_EQ(log.path(), (dir / "S9b_20260307-090501.trials.csv").string());
    EXPECT_EQ(readFile(log.path()).substr(TrialLog::header().size(), 4), "S9b,");
    ASSERT_FALSE(log.append(sampleRecord()));
    EXPECT_EQ(readFile(log.path()), TrialLog::header() + log.row(sampleRecord()) + log.row(sampleRecord()));
}

// Folder lost: noticed at the next row; every row is kept until the log can be written again in full.
TEST_F(TrialLogTest, FolderRemovedOrReplacedMidRunIsNoticedAndTheWholeLogWrittenAgain)
{
    fs::create_directories(dir / "g");
    auto created = TrialLog::create((dir / "g").string(), "S01", Started);
    TrialLog &log = std::get<TrialLog>(created);
    const std::string path = log.path();
    ASSERT_FALSE(log.append(sampleRecord()));
    test::loseFolder(dir / "g");

    ASSERT_TRUE(log.append(sampleRecord()));
    EXPECT_TRUE(log.lost());
    EXPECT_EQ(log.writeAgain(log.directory(), "S01").value_or(WriteFailure{}).reason, test::missingFolderReason());
    // The folder is back, with someone else's file under the log's name.
    fs::create_directories(dir / "g");
    std::ofstream(path) << "someone else's";
    ASSERT_TRUE(log.append(sampleRecord()));
    ASSERT_FALSE(log.writeAgain(log.directory(), "S01"));

    EXPECT_EQ(readFile(path), "someone else's");
    EXPECT_EQ(log.path(), (dir / "g" / "S01_20260307-090501-2.trials.csv").string());
    const std::string row = log.row(sampleRecord());
    EXPECT_EQ(readFile(log.path()), TrialLog::header() + row + row + row);
}

TEST(TrialRecord, BlockEndKeepsTheLastBoundsAndTheBlocksResult)
{
    SeededRandom random = SeededRandom::fixed(3);
    TaskEngine engine(random);
    engine.reset(20);
    RunState &s = engine.state();
    s.LowInner = 60;
    s.LowOuter = 55;
    s.HighInner = 65;
    s.HighOuter = 65;
    s.ImmediateAmount = 60;
    s.TrialCount = 11;
    s.ChoseDelayed = true;

    const TrialContext trial = captureTrial(engine, false);
    const TrialRecord record = recordResponse(trial, engine, engine.ApplyResponse());

    EXPECT_EQ(record.trial.block, 1);
    EXPECT_EQ(record.trial.delayText, "IN 1 DAY");
    EXPECT_FALSE(record.trial.immediate);
    EXPECT_EQ(record.trialInBlock, 12);
    EXPECT_EQ(record.bounds, (Bounds{60, 60, 65, 65}));
    EXPECT_TRUE(record.blockEnded);
    EXPECT_EQ(record.indifferencePoint, 62.5);
}

} // namespace
} // namespace kpx
