#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kpx {
namespace {

using namespace std::chrono;

// A pause that ends early shortens a phase the participant sees: whatever the timer's own unit and
// rounding, the sleep must reach the deadline on the run's clock.
class DeadlineSleep : public ::testing::TestWithParam<microseconds>
{
};

TEST_P(DeadlineSleep, NeverReturnsBeforeTheDeadline)
{
    for (int round = 0; round < 20; ++round) {
        const auto deadline = monotonicNow() + GetParam();
        sleepUntil(deadline);
        ASSERT_GE(monotonicNow(), deadline) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Waits, DeadlineSleep,
                         ::testing::Values(microseconds(-500), microseconds(0), microseconds(50), microseconds(1003),
                                           microseconds(2499)));

TEST(MonotonicClock, NeverGoesBackAndCountsInSteadyClockUnits)
{
    auto last = monotonicNow();
    for (int i = 0; i < 100000; ++i) {
        const auto now = monotonicNow();
        ASSERT_GE(now, last);
        last = now;
    }
    // Against the standard steady clock over a short sleep: the same rate (a unit or frequency
    // mistake is off by far more than the few milliseconds a busy machine may put between two reads).
    const auto ownStart = monotonicNow();
    const auto steadyStart = steady_clock::now();
    sleepUntil(ownStart + milliseconds(20));
    const auto own = monotonicNow() - ownStart;
    const auto steady = steady_clock::now() - steadyStart;
    EXPECT_LT(duration_cast<microseconds>(own - steady).count(), 5000);
    EXPECT_GT(duration_cast<microseconds>(own - steady).count(), -5000);
}

} // namespace
} // namespace kpx
