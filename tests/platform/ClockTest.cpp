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
// off by far more than a millisecond over 20 ms. Each of the run's clock's readings is bracketed by two
// steady readings, so however long the machine's load holds the test between them, the true interval
// lies between the inner and the outer steady intervals.
TEST(MonotonicClock, RunsAtTheSteadyClocksRate)
{
    const auto steadyBefore = steady_clock::now();
    const auto ownStart = monotonicNow();
    const auto steadyStarted = steady_clock::now();
    sleepUntil(ownStart + milliseconds(20));
    const auto steadyEnding = steady_clock::now();
    const auto ownEnd = monotonicNow();
    const auto steadyAfter = steady_clock::now();

    const auto own = duration_cast<microseconds>(ownEnd - ownStart).count();
    const auto inner = duration_cast<microseconds>(steadyEnding - steadyStarted).count();
    const auto outer = duration_cast<microseconds>(steadyAfter - steadyBefore).count();
    // A millisecond's allowance for either clock's resolution.
    EXPECT_GE(own, inner - 1000);
    EXPECT_LE(own, outer + 1000);
}

} // namespace
} // namespace kpx
