#include "ScriptedRandom.h"

#include "engine/RandomSource.h"
#include "engine/TaskEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace kpx {
namespace {

using test::ScriptedRandom;

TEST(TaskEngineReset, StartsEveryRunFromTheSameBoundsAndSchedule)
{
    SeededRandom random = SeededRandom::fixed(7);
    TaskEngine engine(random);
    engine.state().LowOuter = 55;
    engine.state().BlockIndex = 4;
    engine.state().DistractorCounter = 2;
    engine.state().TrialCount = 9;
    engine.state().ChoseDelayed = true;

    engine.reset(20);

    const RunState &s = engine.state();
    EXPECT_EQ(s.LowInner, 0);
    EXPECT_EQ(s.LowOuter, 0);
    EXPECT_EQ(s.HighInner, 100);
    EXPECT_EQ(s.HighOuter, 100);
    EXPECT_EQ(s.BlockIndex, 1);
    EXPECT_EQ(s.TrialCount, 0);
    EXPECT_EQ(s.DistractorCounter, 0);
    EXPECT_EQ(s.DistractorThreshold, 20);
    EXPECT_FALSE(s.ChoseDelayed);
    EXPECT_FALSE(s.ChoseImmediate);
    EXPECT_EQ(s.ImmediateAmount % 5, 0);
    EXPECT_GE(s.ImmediateAmount, 5);
    EXPECT_LE(s.ImmediateAmount, 100);
}

TEST(TaskEngineReset, ScheduleRunsFromOneDayToFiveYears)
{
    ScriptedRandom random;
    random.values = {0.0f};
    TaskEngine engine(random);
    engine.reset(20);

    const DelayTable &table = engine.delayTable();
    const int days[] = {1, 7, 30, 90, 180, 365, 1825};
    const char *texts[] = {"IN 1 DAY", "IN 1 WEEK", "IN 1 MONTH", "IN 3 MONTHS",
                           "IN 6 MONTHS", "IN 1 YEAR", "IN 5 YEARS"};
    for (int k = 1; k <= DelayCount; ++k) {
        EXPECT_EQ(table[k].days, days[k - 1]);
        EXPECT_EQ(table[k].text, texts[k - 1]);
        EXPECT_EQ(engine.presentationOrder()[k], k);
    }
    EXPECT_EQ(engine.currentDelayText(), "IN 1 DAY");
    EXPECT_EQ(random.reseeds, 1);
}

TEST(TaskEngineReset, FirstDrawCoversAllTwentyAmountsEvenly)
{
    // The smallest and largest r of each twentieth must land on that twentieth's amount.
    for (int amount = 5; amount <= 100; amount += 5) {
        const int i = amount / 5;
        const float lowest = i == 1 ? 0.0f : std::nextafter((i - 1) / 20.0f, 1.0f);
        const float highest = std::nextafter(i / 20.0f, 0.0f);
        for (float r : {lowest, highest}) {
            ScriptedRandom random;
            random.values = {r};
            TaskEngine engine(random);
            engine.reset(20);
            EXPECT_EQ(engine.state().ImmediateAmount, amount) << "r = " << r;
        }
    }
}

TEST(TaskEngineReset, ResetInTwoHalvesKeepsTheThresholdOfTheSecond)
{
    ScriptedRandom random;
    random.values = {0.5f};
    TaskEngine engine(random);
    engine.resetSchedule();
    EXPECT_EQ(engine.state().ImmediateAmount, 55);
    engine.resetCounters(25);
    EXPECT_EQ(engine.state().DistractorThreshold, 25);
}

TEST(FormatAmount, IsTheDollarSignAndDigits)
{
    EXPECT_EQ(FormatAmount(5), "$5");
    EXPECT_EQ(FormatAmount(45), "$45");
    EXPECT_EQ(FormatAmount(100), "$100");
}

TEST(SeededRandom, SameSeedGivesSameSequenceAndValuesStayBelowOne)
{
    SeededRandom a = SeededRandom::fixed(42);
    SeededRandom b = SeededRandom::fixed(42);
    std::set<float> distinct;
    for (int i = 0; i < 200000; ++i) {
        const float value = a.next();
        ASSERT_EQ(value, b.next());
        ASSERT_GE(value, 0.0f);
        ASSERT_LT(value, 1.0f);
        distinct.insert(value);
    }
    EXPECT_GT(distinct.size(), 190000u);
}

TEST(SeededRandom, ReseedAsksTheSeedSourceAgain)
{
    std::uint64_t seed = 1;
    SeededRandom random([&seed] { return seed; });
    const float first = random.next();
    seed = 2;
    random.reseed();
    const float afterNewSeed = random.next();
    seed = 1;
    random.reseed();
    EXPECT_EQ(random.next(), first);
    EXPECT_NE(afterNewSeed, first);
}

TEST(TaskEngineCount, AFullBlockNeverWrapsItsTrialCount)
{
    SeededRandom random = SeededRandom::fixed(7);
    TaskEngine engine(random);
    engine.reset(20);
    engine.state().TrialCount = TrialCountLimit - 1;
    EXPECT_FALSE(engine.blockFull());

    for (int answer = 0; answer < 2; ++answer) {
        engine.state().ImmediateAmount = 50;
        engine.state().ChoseDelayed = true;
        ASSERT_EQ(engine.ApplyResponse().outcome, ResponseOutcome::Continue);
        EXPECT_EQ(engine.state().TrialCount, TrialCountLimit);
        EXPECT_TRUE(engine.blockFull());
    }
}

} // namespace
} // namespace kpx
