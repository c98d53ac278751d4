#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kpx {
namespace {

using namespace std::chrono;

// A pause that ends early shortens a phase the participant sees: whatever the timer's own unit and
// rounding, the sleep must reach the deadline on the run's clock.
TEST(DeadlineSleep, NeverReturnsBeforeTheDeadline)
{
    for (const int us : {-500, 0, 50, 1003, 2499}) {
        const microseconds ahead(us);
        for (int round = 0; round < 20; ++round) {
            const auto deadline = monotonicNow() + ahead;
            sleepUntil(deadline);
            ASSERT_GE(monotonicNow(), deadline) << ahead.count() << " us, round " << round;
        }
    }
}

// The counter's ticks become time at the standard steady clock's rate: a unit or frequency mistake is
// off by far more than the few milliseconds a busy machine may put between two reads.
TEST(MonotonicClock, RunsAtTheSteadyClocksRate)
{
    const auto ownStart = monotonicNow();
    const auto steadyStart = steady_clock::now();
    sleepUntil(ownStart + milliseconds(20));
    const auto difference = (monotonicNow() - ownStart) - (steady_clock::now() - steadyStart);
    EXPECT_LT(abs(duration_cast<microseconds>(difference).count()), 5000);
}

} // namespace
} // namespace kpx
