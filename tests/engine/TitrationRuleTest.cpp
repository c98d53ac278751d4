#include "ScriptedRandom.h"

#include "engine/TaskEngine.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kpx {

void PrintTo(const Bounds &b, std::ostream *out)
{
    *out << "LI " << b.LowInner << " LO " << b.LowOuter << " HI " << b.HighInner << " HO " << b.HighOuter;
}

namespace {

using test::ScriptedRandom;

enum class Choice { Delayed, Immediate };

Bounds boundsOf(const RunState &s)
{
    return {s.LowInner, s.LowOuter, s.HighInner, s.HighOuter};
}

void setBounds(RunState &s, Bounds b)
{
    s.LowInner = b.LowInner;
    s.LowOuter = b.LowOuter;
    s.HighInner = b.HighInner;
    s.HighOuter = b.HighOuter;
}

void record(RunState &s, Choice choice)
{
    s.ChoseDelayed = choice == Choice::Delayed;
    s.ChoseImmediate = choice == Choice::Immediate;
}

class TitrationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        random.values = {0.0f};
        engine.reset(20);
    }

    ScriptedRandom random;
    TaskEngine engine{random};
};

struct RuleCase
{
    std::string name;
    Bounds before;
    int amount;
    Choice choice;
    Bounds after;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RuleCase &c, std::ostream *out)
{
    *out << c.name;
}

class UpdateRule : public TitrationTest, public ::testing::WithParamInterface<RuleCase>
{
};

TEST_P(UpdateRule, MovesTheBoundsAsTheRuleSays)
{
    const RuleCase &c = GetParam();
    RunState &s = engine.state();
    setBounds(s, c.before);
    s.ImmediateAmount = static_cast<std::int16_t>(c.amount);
    record(s, c.choice);

    engine.ApplyResponse();

    EXPECT_EQ(boundsOf(s), c.after);
    EXPECT_TRUE(s.boundsOrdered());
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, UpdateRule,
    ::testing::Values(
        RuleCase{"DelayedAtOrBelowLowInnerOnlyRaisesLowOuter", {60, 40, 80, 90}, 50, Choice::Delayed, {60, 50, 80, 90}},
        RuleCase{"DelayedEqualToLowInner", {60, 40, 80, 90}, 60, Choice::Delayed, {60, 60, 80, 90}},
        RuleCase{"DelayedBetweenInnersMovesLowInnerUp", {40, 0, 100, 100}, 70, Choice::Delayed, {70, 40, 100, 100}},
        RuleCase{"DelayedAtHighInnerKeepsTheTop", {40, 20, 70, 85}, 70, Choice::Delayed, {70, 40, 70, 85}},
        RuleCase{"DelayedAboveHighInnerReopensTheTop", {50, 40, 70, 85}, 80, Choice::Delayed, {80, 50, 80, 100}},
        RuleCase{"ImmediateAtOrAboveHighInnerOnlyLowersHighOuter", {40, 0, 70, 85}, 75, Choice::Immediate, {40, 0, 70, 75}},
        RuleCase{"ImmediateEqualToHighInner", {40, 0, 70, 85}, 70, Choice::Immediate, {40, 0, 70, 70}},
        RuleCase{"ImmediateBetweenInnersMovesHighInnerDown", {40, 0, 85, 100}, 70, Choice::Immediate, {40, 0, 70, 85}},
        RuleCase{"ImmediateAtLowInnerKeepsTheBottom", {40, 20, 85, 100}, 40, Choice::Immediate, {40, 20, 40, 85}},
        RuleCase{"ImmediateBelowLowInnerReopensTheBottom", {60, 55, 65, 70}, 30, Choice::Immediate, {30, 0, 30, 65}},
        RuleCase{"DistractorAtTopTakenWidensTheRange", {60, 55, 65, 70}, 100, Choice::Immediate, {60, 55, 65, 100}}),
    [](const auto &info) { return info.param.name; });

TEST_F(TitrationTest, WorkedExampleBlockEndsAtSixtyTwoPointFiveAfterTenTrials)
{
    struct Row
    {
        int amount;
        Choice choice;
        Bounds after;
        int counter;
        bool distractorNext;
    };
    const std::vector<Row> rows = {
        {40, Choice::Delayed, {40, 0, 100, 100}, 0, false},
        {85, Choice::Immediate, {40, 0, 85, 100}, 0, false},
        {70, Choice::Immediate, {40, 0, 70, 85}, 0, false},
        {50, Choice::Delayed, {50, 40, 70, 85}, 0, false},
        {65, Choice::Immediate, {50, 40, 65, 70}, 0, false},
        {60, Choice::Delayed, {60, 50, 65, 70}, 1, false},
        {55, Choice::Delayed, {60, 55, 65, 70}, 2, false},
        {70, Choice::Immediate, {60, 55, 65, 70}, 0, true},
        {60, Choice::Delayed, {60, 60, 65, 70}, 1, false},
        {65, Choice::Immediate, {60, 60, 65, 65}, 0, false},
    };

    RunState &s = engine.state();
    s.ImmediateAmount = 40;
    bool distractorNext = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row &row = rows[i];
        SCOPED_TRACE("trial " + std::to_string(i + 1));
        if (i > 0) {
            if (distractorNext)
                random.queueWholeScale(row.amount);
            else
                random.queueOrdinary(s, row.amount);
            engine.DrawNextAmount(distractorNext);
        }
        ASSERT_EQ(s.ImmediateAmount, row.amount);
        record(s, row.choice);

        const ResponseResult result = engine.ApplyResponse();

        if (i + 1 < rows.size()) {
            EXPECT_EQ(result.bounds, row.after);
            EXPECT_EQ(boundsOf(s), row.after);
            EXPECT_EQ(result.outcome, ResponseOutcome::Continue);
        } else {
            EXPECT_EQ(result.bounds, row.after) << "the last response's bounds survive the block reset";
            EXPECT_EQ(result.outcome, ResponseOutcome::BlockFinished);
            EXPECT_EQ(boundsOf(s), (Bounds{0, 0, 100, 100}));
        }
        EXPECT_EQ(s.DistractorCounter, row.counter);
        EXPECT_EQ(result.DistractorNext, row.distractorNext);
        distractorNext = result.DistractorNext;
    }
    EXPECT_DOUBLE_EQ(s.IndifferencePoints[1], 62.5);
    EXPECT_EQ(s.TrialCounts[1], 10);
    EXPECT_EQ(s.BlockIndex, 2);
    EXPECT_EQ(s.TrialCount, 0);
    EXPECT_EQ(engine.currentDelayText(), "IN 1 WEEK");
}

TEST_F(TitrationTest, DrawRejectsTheAmountJustAnswered)
{
    RunState &s = engine.state();
    s.ImmediateAmount = 40;
    random.queueWholeScale(40);
    random.queueWholeScale(40);
    random.queueWholeScale(15);
    engine.DrawNextAmount(false);
    EXPECT_EQ(s.ImmediateAmount, 15);
    EXPECT_TRUE(random.values.empty());
}

TEST_F(TitrationTest, DrawClearsTheResponseFlags)
{
    RunState &s = engine.state();
    s.ChoseDelayed = true;
    s.ChoseImmediate = true;
    random.queueWholeScale(25);
    engine.DrawNextAmount(false);
    EXPECT_FALSE(s.ChoseDelayed);
    EXPECT_FALSE(s.ChoseImmediate);
}

TEST_F(TitrationTest, DistractorDrawIgnoresTheBounds)
{
    RunState &s = engine.state();
    setBounds(s, {60, 55, 65, 70});
    s.ImmediateAmount = 60;
    random.queueWholeScale(5);
    engine.DrawNextAmount(true);
    EXPECT_EQ(s.ImmediateAmount, 5);
}

TEST_F(TitrationTest, EqualBoundsBelowTheTopDrawOneStepAbove)
{
    RunState &s = engine.state();
    setBounds(s, {45, 45, 45, 45});
    s.ImmediateAmount = 45;
    random.values = {0.7f};
    engine.DrawNextAmount(false);
    EXPECT_EQ(s.ImmediateAmount, 50);
}

TEST_F(TitrationTest, EqualBoundsAtTheTopDrawNinetyFiveNeverMoreThanTheDelayedAmount)
{
    RunState &s = engine.state();
    setBounds(s, {100, 100, 100, 100});
    s.ImmediateAmount = 100;
    random.values = {0.3f};
    engine.DrawNextAmount(false);
    ASSERT_EQ(s.ImmediateAmount, 95);

    // Delayed again at 95 closes the block at the top of the scale.
    record(s, Choice::Delayed);
    const ResponseResult result = engine.ApplyResponse();
    EXPECT_EQ(result.outcome, ResponseOutcome::BlockFinished);
    EXPECT_DOUBLE_EQ(s.IndifferencePoints[1], 97.5);
}

TEST_F(TitrationTest, ThirdNarrowResponseSchedulesADistractorAndWideResponsesKeepTheCount)
{
    RunState &s = engine.state();
    setBounds(s, {60, 50, 70, 70});
    s.ImmediateAmount = 65;
    record(s, Choice::Immediate); // width 20: counts
    EXPECT_FALSE(engine.ApplyResponse().DistractorNext);
    EXPECT_EQ(s.DistractorCounter, 1);

    s.ImmediateAmount = 10;
    record(s, Choice::Immediate); // reopens the bottom: width 65, not counted
    EXPECT_FALSE(engine.ApplyResponse().DistractorNext);
    EXPECT_EQ(s.DistractorCounter, 1);

    setBounds(s, {60, 50, 65, 70});
    s.ImmediateAmount = 55;
    record(s, Choice::Delayed);
    EXPECT_FALSE(engine.ApplyResponse().DistractorNext);
    s.ImmediateAmount = 55;
    record(s, Choice::Delayed);
    EXPECT_TRUE(engine.ApplyResponse().DistractorNext);
    EXPECT_EQ(s.DistractorCounter, 0);
}

TEST_F(TitrationTest, BelowTenOnlyAllFourBoundsEqualScheduleADistractor)
{
    // Widths at or below a threshold of 6 to 9 are 0 and 5; 5 ends the block and clears the
    // schedule, but width 0 (contradictory answers at one amount) counts like any narrow width.
    engine.resetCounters(6);
    RunState &s = engine.state();
    setBounds(s, {45, 45, 45, 45});
    for (int response = 1; response <= 3; ++response) {
        s.ImmediateAmount = 45;
        record(s, response == 2 ? Choice::Immediate : Choice::Delayed);
        const ResponseResult result = engine.ApplyResponse();
        EXPECT_EQ(result.bounds, (Bounds{45, 45, 45, 45}));
        EXPECT_EQ(result.outcome, ResponseOutcome::Continue);
        EXPECT_EQ(result.DistractorNext, response == 3) << "response " << response;
    }
}

TEST_F(TitrationTest, SeventhBlockEndFinishesTheRunWithEveryResult)
{
    RunState &s = engine.state();
    for (int block = 1; block <= DelayCount; ++block) {
        setBounds(s, {60, 55, 65, 65});
        s.ImmediateAmount = 60;
        s.TrialCount = static_cast<std::int16_t>(block);
        record(s, Choice::Delayed);
        const ResponseResult result = engine.ApplyResponse();
        EXPECT_EQ(result.outcome, block < DelayCount ? ResponseOutcome::BlockFinished : ResponseOutcome::RunFinished);
        EXPECT_DOUBLE_EQ(s.IndifferencePoints[block], 62.5);
        EXPECT_EQ(s.TrialCounts[block], block + 1);
    }
    EXPECT_EQ(s.BlockIndex, FinishedBlock);
}

} // namespace
} // namespace kpx
