#include "engine/RandomSource.h"
#include "engine/TaskEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>

namespace kpx {
namespace {

// Decides for an amount whether the participant takes it now.
using Participant = std::function<bool(int amount, int delayIndex)>;

struct RunCheck
{
    int responses = 0;
};

// Runs a whole task, checking the invariants after every response.
RunCheck runChecked(TaskEngine &engine, std::int16_t threshold, const Participant &takesImmediate)
{
    RunCheck check;
    engine.reset(threshold);
    RunState &s = engine.state();
    bool distractor = false;
    for (;;) {
        const int x = s.ImmediateAmount;
        EXPECT_EQ(x % Step, 0);
        EXPECT_GE(x, Step);
        EXPECT_LE(x, DelayedAmount);
        if (!distractor) {
            const bool allEqual = s.LowOuter == s.HighOuter;
            if (allEqual)
                EXPECT_EQ(x, s.LowOuter == DelayedAmount ? DelayedAmount - Step : s.LowOuter + Step);
            else
                EXPECT_TRUE(x > s.LowOuter && x <= s.HighOuter) << x << " outside (" << s.LowOuter << ", " << s.HighOuter << "]";
        }

        const bool immediate = takesImmediate(x, engine.currentDelayIndex());
        s.ChoseImmediate = immediate;
        s.ChoseDelayed = !immediate;
        const ResponseResult result = engine.ApplyResponse();
        ++check.responses;
        EXPECT_TRUE(s.boundsOrdered()) << "after response " << check.responses;
        // Below 10 the only narrow width that does not end the block is 0: all four bounds equal.
        if (threshold <= 9 && result.DistractorNext) {
            EXPECT_EQ(result.bounds.LowOuter, result.bounds.HighOuter);
        }
        if (result.outcome == ResponseOutcome::RunFinished)
            break;
        if (::testing::Test::HasFailure() || check.responses > 100000)
            break;
        const int before = s.ImmediateAmount;
        engine.DrawNextAmount(result.DistractorNext);
        EXPECT_NE(s.ImmediateAmount, before);
        distractor = result.DistractorNext;
    }
    for (int k = 1; k <= DelayCount; ++k) {
        const double ip = s.IndifferencePoints[k];
        EXPECT_GE(ip, 2.5);
        EXPECT_LE(ip, 97.5);
        EXPECT_DOUBLE_EQ(std::fmod(ip - 2.5, 5.0), 0.0);
        EXPECT_GE(s.TrialCounts[k], 1);
    }
    return check;
}

TEST(TitrationProperties, ConsistentParticipantIsBracketedWithinHalfAStep)
{
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SeededRandom random = SeededRandom::fixed(seed);
        TaskEngine engine(random);
        // A true value per delay anywhere on the scale, including between steps and at the ends.
        const double values[] = {97.0, 80.0, 62.5, 41.0, 23.0, 7.5, 3.0};
        runChecked(engine, 20, [&](int amount, int delay) { return amount >= values[delay - 1]; });
        for (int k = 1; k <= DelayCount; ++k)
            EXPECT_LE(std::abs(engine.state().IndifferencePoints[k] - values[k - 1]), 2.5) << "delay " << k;
        if (HasFailure())
            return;
    }
}

TEST(TitrationProperties, AlwaysDelayedParticipantStaysOnTheScaleAndFinishes)
{
    for (std::uint64_t seed = 1; seed <= 500; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SeededRandom random = SeededRandom::fixed(seed);
        TaskEngine engine(random);
        runChecked(engine, 20, [](int, int) { return false; });
        for (int k = 1; k <= DelayCount; ++k)
            EXPECT_DOUBLE_EQ(engine.state().IndifferencePoints[k], 97.5);
        if (HasFailure())
            return;
    }
}

TEST(TitrationProperties, AlwaysImmediateParticipantEndsAtTheBottom)
{
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SeededRandom random = SeededRandom::fixed(seed);
        TaskEngine engine(random);
        runChecked(engine, 20, [](int, int) { return true; });
        for (int k = 1; k <= DelayCount; ++k)
            EXPECT_DOUBLE_EQ(engine.state().IndifferencePoints[k], 2.5);
        if (HasFailure())
            return;
    }
}

class RandomResponder : public ::testing::TestWithParam<std::int16_t>
{
};

TEST_P(RandomResponder, KeepsTheBoundsOrderedAtEveryThreshold)
{
    const std::int16_t threshold = GetParam();
    for (std::uint64_t seed = 1; seed <= 100; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SeededRandom random = SeededRandom::fixed(seed);
        TaskEngine engine(random);
        std::mt19937 coin(static_cast<std::uint32_t>(seed * 7919));
        runChecked(engine, threshold, [&](int, int) { return coin() % 2 == 0; });
        if (HasFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(Thresholds, RandomResponder, ::testing::Values<std::int16_t>(6, 9, 10, 20, 34));

} // namespace
} // namespace kpx
