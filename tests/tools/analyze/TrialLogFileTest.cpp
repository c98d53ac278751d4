#include "analyze/TrialLogFile.h"

#include "TrialLogText.h"

#include <gtest/gtest.h>

#include <variant>

namespace {

using kpx::test::ExampleLog;

kpx::TrialLogContents parsed(const std::string &text)
{
    auto result = kpx::parseTrialLog(text);
    EXPECT_TRUE(std::holds_alternative<kpx::TrialLogContents>(result))
        << std::get<kpx::FileProblem>(result).reason;
    return std::holds_alternative<kpx::TrialLogContents>(result) ? std::get<kpx::TrialLogContents>(result)
                                                                  : kpx::TrialLogContents{};
}

TEST(TrialLogFile, ReadsWhatTheTaskWrites)
{
    kpx::test::ScratchDirectory dir("analyze-log");
    auto created = kpx::TrialLog::create(dir.path().string(), "Smith, \"J\"", {2026, 1, 2, 3, 4, 5});
    ASSERT_TRUE(std::holds_alternative<kpx::TrialLog>(created));
    kpx::TrialRecord record;
    record.trial = {1, 30, "IN 1 MONTH", 65, true, true, kpx::ResponseInput::Key, 10.0, 1010.0, 1622.5, 1.25,
                    std::nullopt, std::nullopt, "en"};
    record.blockEnded = true;
    record.indifferencePoint = 62.5;

    const kpx::TrialLogContents log = parsed(kpx::TrialLog::header() + std::get<kpx::TrialLog>(created).row(record));
    EXPECT_EQ(log.subject, "Smith, \"J\"");
    ASSERT_EQ(log.rows.size(), 1u);
    const kpx::TrialRow &row = log.rows[0];
    EXPECT_EQ(row.line, 2);
    EXPECT_EQ(row.delayDays, 30);
    EXPECT_TRUE(row.distractor);
    EXPECT_EQ(row.amount, 65);
    EXPECT_TRUE(row.immediate);
    EXPECT_EQ(row.rtMs, 612.5);
    EXPECT_EQ(row.indifferencePoint, 62.5);
}

TEST(TrialLogFile, RefusesAHeaderWithoutTheColumnsItReads)
{
    const auto result = kpx::parseTrialLog("subject,block\r\nS01,1\r\n");
    ASSERT_TRUE(std::holds_alternative<kpx::FileProblem>(result));
    EXPECT_EQ(std::get<kpx::FileProblem>(result).line, 1);
}

// Every line without its last `count` fields: a log written before the language (1), before the frame
// interval and the full-screen exits as well (3), or before the display's scale too (4) were recorded.
std::string withoutLastColumns(const std::string &text, int count)
{
    std::string out;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find("\r\n", start);
        std::string line = text.substr(start, end - start);
        for (int i = 0; i < count; ++i)
            line = line.substr(0, line.rfind(','));
        out += line + "\r\n";
        start = end + 2;
    }
    return out;
}

struct LayoutCase
{
    const char *name;
    std::string text;
};

class TrialLogLayouts : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(TrialLogLayouts, ScoreTheSameRows)
{
    const kpx::TrialLogContents log = parsed(GetParam().text);
    EXPECT_FALSE(log.stoppedAt.has_value()) << log.stoppedAt->reason;
    ASSERT_EQ(log.rows.size(), ExampleLog.size());
    for (std::size_t i = 0; i < ExampleLog.size(); ++i) {
        EXPECT_EQ(log.rows[i].amount, ExampleLog[i].amount) << i;
        EXPECT_EQ(log.rows[i].rtMs, std::stod(ExampleLog[i].rtMs)) << i;
        EXPECT_EQ(log.rows[i].immediate, std::string(ExampleLog[i].choice) == "immediate") << i;
    }
    EXPECT_EQ(log.rows[5].indifferencePoint, 62.5);
}

// The older layouts the rig makes end where those logs ended.
TEST(TrialLogFile, OlderLayoutsEndWhereTheirLogsEnded)
{
    for (const auto &[dropped, header, row] :
         {std::tuple{1, "response_ms,display_scale,frame_interval_ms,fullscreen_exits\r\n", ",1.5,16.667,0\r\n"},
          std::tuple{3, "response_ms,display_scale\r\n", ",1.5\r\n"}, std::tuple{4, "response_ms\r\n", ""}}) {
        const std::string old = withoutLastColumns(kpx::test::trialLogText(ExampleLog), dropped);
        EXPECT_NE(old.find(header), std::string::npos) << dropped;
        if (*row)
            EXPECT_NE(old.find(row), std::string::npos) << dropped;
        else
            EXPECT_EQ(old.find(",1.5"), std::string::npos) << dropped;
    }
}

INSTANTIATE_TEST_SUITE_P(
    WithAndWithoutTheDisplayScale, TrialLogLayouts,
    ::testing::Values(LayoutCase{"AsTheTaskWritesItNow", kpx::test::trialLogText(ExampleLog)},
                      LayoutCase{"WrittenBeforeTheLanguageColumn",
                                 withoutLastColumns(kpx::test::trialLogText(ExampleLog), 1)},
                      LayoutCase{"WrittenBeforeTheFrameIntervalAndFullScreenColumns",
                                 withoutLastColumns(kpx::test::trialLogText(ExampleLog), 3)},
                      LayoutCase{"WrittenBeforeTheDisplayScaleColumn",
                                 withoutLastColumns(kpx::test::trialLogText(ExampleLog), 4)}),
    [](const auto &info) { return std::string(info.param.name); });

struct BrokenCase
{
    const char *name;
    // Replaces everything from the given row (1-based among the data rows) on.
    std::size_t keptRows;
    std::string tail;
    int line;
    const char *reason;
};

class BrokenTrialLog : public ::testing::TestWithParam<BrokenCase>
{
};

TEST_P(BrokenTrialLog, StopsAtTheBadRowAndKeepsTheRowsBefore)
{
    const std::string whole = kpx::test::trialLogText(ExampleLog);
    std::size_t cut = 0;
    for (std::size_t lines = 0; lines < GetParam().keptRows + 1; ++lines)
        cut = whole.find('\n', cut) + 1;
    const kpx::TrialLogContents log = parsed(whole.substr(0, cut) + GetParam().tail);
    EXPECT_EQ(log.rows.size(), GetParam().keptRows);
    ASSERT_TRUE(log.stoppedAt.has_value());
    EXPECT_EQ(log.stoppedAt->line, GetParam().line);
    EXPECT_NE(log.stoppedAt->reason.find(GetParam().reason), std::string::npos) << log.stoppedAt->reason;
}

std::string rowText(const kpx::test::LogRow &row)
{
    return kpx::test::trialLogRows({row});
}

const kpx::test::LogRow Block1{1, "ordinary", 40, "delayed", "500"};

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenTrialLog,
    ::testing::Values(
        BrokenCase{"CutOffLastRow", 7, rowText({2, "ordinary", 55, "delayed", "600"}).substr(0, 30), 9, "cut off"},
        BrokenCase{"MissingField", 2, rowText(Block1).substr(0, 40) + "\r\n", 4, "fields"},
        BrokenCase{"OtherSubject", 3, rowText({1, "ordinary", 40, "delayed", "500", "", "S02"}), 5, "subject"},
        BrokenCase{"BlockSkipped", 6, rowText({3, "ordinary", 40, "delayed", "500"}), 8, "block 3 where block 2"},
        BrokenCase{"BlockGoesOnAfterItsEnd", 6, rowText(Block1), 8, "block 1 where block 2"},
        BrokenCase{"ChoiceMisspelt", 1, rowText({1, "ordinary", 40, "later", "500"}), 3, "choice"},
        // A blank point still marks the row as ending its block.
        BrokenCase{"EndWithoutPoint", 0, rowText({1, "ordinary", 40, "delayed", "500", " "}), 2,
                   "indifference point"},
        BrokenCase{"NegativeTime", 0, rowText({1, "ordinary", 40, "delayed", "-5"}), 2, "rt_ms"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
