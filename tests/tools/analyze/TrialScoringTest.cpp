#include "analyze/SummaryCsv.h"
#include "analyze/TrialScoring.h"

#include "TrialLogText.h"

#include <gtest/gtest.h>

#include <variant>

namespace {

using kpx::test::LogRow;

std::vector<kpx::TrialRow> rowsOf(const std::vector<LogRow> &rows)
{
    return std::get<kpx::TrialLogContents>(kpx::parseTrialLog(kpx::test::trialLogText(rows))).rows;
}

// Each figure as counted by hand in the comment on ExampleLog.
TEST(RunFigures, MatchTheHandCountOfAnUnfinishedRun)
{
    const kpx::RunFigures run = kpx::scoreRun(rowsOf(kpx::test::ExampleLog));
    EXPECT_EQ(run.rtMedianMs, 400.0);
    EXPECT_DOUBLE_EQ(*run.rtIqrMs, 750.0 - 199.75);
    EXPECT_EQ(run.fastResponses, 2) << "150 and 199 count, 200 does not";
    EXPECT_DOUBLE_EQ(*run.consistency, 4.0 / 6.0) << "block 2 has no recorded point and is left out";
    EXPECT_EQ(run.distractorConsistency, 0.5);
    EXPECT_EQ(run.farConsistency, 0.75) << "70 and 65 lie within $20 of 62.5";
    EXPECT_TRUE(run.unfinished);
}

TEST(RunFigures, OfSevenOneAnswerBlocksWithoutDistractors)
{
    std::vector<LogRow> finished;
    for (int block = 1; block <= 7; ++block)
        finished.push_back({block, "ordinary", 50, "delayed", "600.5", "52.5"});
    const kpx::RunFigures run = kpx::scoreRun(rowsOf(finished));
    EXPECT_EQ(run.rtMedianMs, 600.5);
    EXPECT_EQ(run.rtIqrMs, 0.0);
    EXPECT_EQ(run.consistency, 1.0);
    EXPECT_FALSE(run.distractorConsistency.has_value());
    EXPECT_FALSE(run.farConsistency.has_value()) << "every answer lies $2.50 from its point";
    EXPECT_FALSE(run.unfinished);
}

TEST(FarConsistency, CountsAnswersExactlyTwentyDollarsAwayAndNoCloserOnes)
{
    const kpx::RunFigures run = kpx::scoreRun(rowsOf({{1, "ordinary", 40, "delayed", "500"},
                                                      {1, "ordinary", 45, "immediate", "500"},
                                                      {1, "ordinary", 80, "delayed", "500", "60"}}));
    EXPECT_EQ(run.farConsistency, 0.5) << "40 agrees with 60, 80 does not, 45 is too close to count";
}

TEST(Consistency, LeavesOutAnAmountEqualToThePoint)
{
    kpx::TrialRow row;
    row.amount = 60;
    EXPECT_FALSE(kpx::agreesWith(row, 60.0).has_value());
    row.immediate = true;
    EXPECT_EQ(kpx::agreesWith(row, 57.5), true);
    EXPECT_EQ(kpx::agreesWith(row, 62.5), false);
}

TEST(PerBlockFile, HasOneHandCountedRowPerBlockTheUnfinishedOneMarked)
{
    std::string text = kpx::blocksHeader();
    for (const kpx::BlockFigures &block : kpx::scoreBlocks(rowsOf(kpx::test::ExampleLog)))
        text += kpx::blocksLine("S01", "d/S01.trials.csv", block);
    EXPECT_EQ(text, "subject,trial_log,block,delay_days,trials,distractors,rt_median_ms,consistency,block_ended\r\n"
                    "S01,d/S01.trials.csv,1,1,6,2,400,0.6666666666666666,1\r\n"
                    "S01,d/S01.trials.csv,2,7,2,1,600,,0\r\n");
}

} // namespace
