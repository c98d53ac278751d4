#include "results/TrialLog.h"

#include "engine/RandomSource.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <optional>
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
        auto created = TrialLog::Create(dir.string(), subject, Started);
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
    ASSERT_FALSE(log.Append(sampleRecord()));
    EXPECT_EQ(readFile(log.path()), TrialLog::header()
                                        + "S01,2026-03-07T09:05:01,3,30,IN 1 MONTH,10,distractor,65,immediate,click,"
                                          "820.562,60,60,65,65,1,62.5,1500.250,3500.500,4321.062\r\n");
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
    TrialLog log = create("Smith, \"J\"");
    EXPECT_EQ(log.row(sampleRecord()).rfind("\"Smith, \"\"J\"\"\",2026-03-07T09:05:01,", 0), 0u);
}

TEST_F(TrialLogTest, UncreatableLogIsReportedWithItsPathAndReason)
{
    auto missing = TrialLog::Create((dir / "gone").string(), "S01", Started);
    ASSERT_TRUE(std::holds_alternative<WriteFailure>(missing));
    EXPECT_EQ(std::get<WriteFailure>(missing).reason, "No such file or directory");

    auto slash = TrialLog::Create(dir.string(), "a/b", Started);
    ASSERT_TRUE(std::holds_alternative<WriteFailure>(slash));
    EXPECT_NE(std::get<WriteFailure>(slash).reason.find("'/'"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir));
}

// Row integrity: every row has all 20 fields, read back by an independent CSV reader.

std::string hex(const std::string &text)
{
    static const char digits[] = "0123456789abcdef";
    std::string result;
    for (unsigned char c : text) {
        result += digits[c >> 4];
        result += digits[c & 15];
    }
    return result;
}

// Each data row as Python's csv module reads it: "<field count> <first field in hex>".
std::vector<std::string> readWithPythonCsv(const fs::path &file)
{
    const std::string command = "python3 -c 'import csv, sys\n"
                                "for row in list(csv.reader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\")))[1:]:\n"
                                "    print(len(row), row[0].encode().hex())' '" + file.string() + "'";
    FILE *pipe = ::popen(command.c_str(), "r");
    std::vector<std::string> rows;
    if (!pipe)
        return rows;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe))
        rows.emplace_back(line, std::strcspn(line, "\n"));
    EXPECT_EQ(::pclose(pipe), 0) << "python3 could not read " << file;
    return rows;
}

TEST_F(TrialLogTest, RowsKeepEveryFieldInPlaceWhateverTheSubjectHolds)
{
    const std::vector<std::string> subjects = {"", "Smith, J", "say \"hi\"", "cr\rhere", "lf\nhere", "-S1",
                                               "Zo\xC3\xAB \xE6\x97\xA5"};
    std::string text = TrialLog::header();
    for (const std::string &subject : subjects)
        text += TrialLogRow(subject, "2026-03-07T09:05:01", sampleRecord());
    // And through a real log, with the empty ID that the setup window's Cancel gives.
    TrialLog empty = create("");
    ASSERT_FALSE(empty.Append(sampleRecord()));
    text += readFile(empty.path()).substr(TrialLog::header().size());
    std::ofstream(dir / "rows.csv", std::ios::binary) << text;

    const std::vector<std::string> rows = readWithPythonCsv(dir / "rows.csv");

    ASSERT_EQ(rows.size(), subjects.size() + 1);
    for (std::size_t i = 0; i < subjects.size(); ++i)
        EXPECT_EQ(rows[i], "20 " + hex(subjects[i])) << "subject " << i;
    EXPECT_EQ(rows.back(), "20 ");
}

// Disk full: a row is on disk whole or not at all.

TEST_F(TrialLogTest, FailedAppendLeavesOnlyWholeRowsAndTheNextAppendWritesWhatWasMissed)
{
    TrialLog log = create("S01");
    ASSERT_FALSE(log.Append(sampleRecord()));
    const std::string oneRow = readFile(log.path());
    const std::string row = log.row(sampleRecord());
    {
        // Room for part of the next row only, which a plain append would leave looking almost complete.
        test::FileSizeLimit full(oneRow.size() + row.size() - 3);
        const auto failure = log.Append(sampleRecord());
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->reason, std::strerror(EFBIG));
        EXPECT_EQ(readFile(log.path()), oneRow);
        EXPECT_FALSE(log.lost());
    }
    ASSERT_FALSE(log.Append(sampleRecord()));
    EXPECT_EQ(readFile(log.path()), oneRow + row + row);
}

// Folder lost: noticed at the next row, then written again in full.

class TrialLogLost : public TrialLogTest
{
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "g");
        auto created = TrialLog::Create((dir / "g").string(), "S01", Started);
        ASSERT_TRUE(std::holds_alternative<TrialLog>(created));
        log.emplace(std::move(std::get<TrialLog>(created)));
        ASSERT_FALSE(log->Append(sampleRecord()));
        rows = TrialLog::header() + log->row(sampleRecord());
    }

    // Appends a row that finds its file gone.
    void appendToLostLog()
    {
        const auto failure = log->Append(sampleRecord());
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->path, firstPath());
        EXPECT_TRUE(log->lost());
        rows += log->row(sampleRecord());
    }
    std::string firstPath() const { return (dir / "g" / "S01_20260307-090501.trials.csv").string(); }

    std::optional<TrialLog> log;
    std::string rows;
};

TEST_F(TrialLogLost, FolderReplacedIsNoticedAndTheWholeLogWrittenAgainWhereItWas)
{
    fs::remove_all(dir / "g");
    fs::create_directories(dir / "g");

    appendToLostLog();
    ASSERT_FALSE(log->WriteAgain(log->directory()));

    EXPECT_EQ(log->path(), firstPath());
    EXPECT_EQ(readFile(log->path()), rows);
    ASSERT_FALSE(log->Append(sampleRecord()));
    EXPECT_EQ(readFile(log->path()), rows + log->row(sampleRecord()));
}

TEST_F(TrialLogLost, FolderRemovedKeepsEveryRowUntilTheLogCanBeWrittenElsewhere)
{
    fs::remove_all(dir / "g");

    appendToLostLog();
    const auto failure = log->WriteAgain(log->directory());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, "No such file or directory");
    appendToLostLog();
    ASSERT_FALSE(log->WriteAgain(dir.string()));

    EXPECT_EQ(readFile(dir / "S01_20260307-090501.trials.csv"), rows);
}

TEST_F(TrialLogLost, AnotherFileAtItsPathIsNoticedAndNeverOverwritten)
{
    fs::remove(firstPath());
    std::ofstream(firstPath()) << "someone else's";

    appendToLostLog();
    ASSERT_FALSE(log->WriteAgain(log->directory()));

    EXPECT_EQ(readFile(firstPath()), "someone else's");
    EXPECT_EQ(readFile(dir / "g" / "S01_20260307-090501-2.trials.csv"), rows);
}

TEST(TrialRecord, BlockEndKeepsTheLastBoundsAndTheBlocksResult)
{
    SeededRandom random = SeededRandom::fixed(3);
    TaskEngine engine(random);
    engine.Reset(20);
    RunState &s = engine.state();
    s.LowInner = 60;
    s.LowOuter = 55;
    s.HighInner = 65;
    s.HighOuter = 65;
    s.ImmediateAmount = 60;
    s.TrialCount = 11;
    s.ChoseDelayed = true;

    const TrialContext trial = CaptureTrial(engine, false);
    const TrialRecord record = RecordResponse(trial, engine, engine.ApplyResponse());

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
