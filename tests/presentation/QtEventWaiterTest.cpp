#include "presentation/QtEventWaiter.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <vector>

namespace kpx {
namespace {

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

class QtEventWaiterTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "qt_event_waiter_test";
        static char *argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }

    QtEventWaiter waiter;
};

TEST_F(QtEventWaiterTest, PauseLastsAtLeastItsTimeAndDispatchesEventsMeanwhile)
{
    bool dispatched = false;
    QTimer::singleShot(5, [&] { dispatched = true; });
    QElapsedTimer elapsed;
    elapsed.start();

    waiter.Pause(0.03);

    EXPECT_GT(elapsed.nsecsElapsed(), 30'000'000);
    // Seconds taken for milliseconds would pause 30 s; no load stretches 30 ms that far.
    EXPECT_LT(elapsed.elapsed(), 30'000);
    EXPECT_TRUE(dispatched);
}

TEST_F(QtEventWaiterTest, PauseNeverEndsBeforeADeadlineBetweenWholeMilliseconds)
{
    // How little it overruns (its deadline, not the next whole millisecond) is bench/timing's to judge:
    // the green and blank phases are such pauses.
    for (int pause = 0; pause < 21; ++pause) {
        QElapsedTimer elapsed;
        elapsed.start();
        waiter.Pause(0.0103);
        ASSERT_GE(elapsed.nsecsElapsed(), 10'300'000) << "pause " << pause;
    }
}

TEST_F(QtEventWaiterTest, WaitUntilReturnsOnlyWhenItsConditionHoldsAfterAWake)
{
    bool released = false;
    int wakesSeen = 0;
    QTimer::singleShot(5, [&] {
        ++wakesSeen;
        waiter.wake(); // condition still false: must keep waiting
    });
    QTimer::singleShot(20, [&] {
        ++wakesSeen;
        released = true;
        waiter.wake();
    });

    waiter.waitUntil([&] { return released; });

    EXPECT_TRUE(released);
    EXPECT_EQ(wakesSeen, 2);
}

TEST_F(QtEventWaiterTest, WaitingDoesNotSpinTheProcessor)
{
    bool released = false;
    QTimer::singleShot(300, [&] {
        released = true;
        waiter.wake();
    });
    const double cpuBefore = processCpuSeconds();

    waiter.waitUntil([&] { return released; });
    waiter.Pause(0.2);

    // Half a second of waiting; a busy loop would burn nearly all of it.
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.05);
}

TEST_F(QtEventWaiterTest, PauseNestedInsideABreakWaitReturnsToIt)
{
    bool released = false;
    bool pausedInside = false;
    QTimer::singleShot(1, [&] {
        waiter.Pause(0.01);
        pausedInside = true;
        released = true;
        waiter.wake();
    });
    waiter.waitUntil([&] { return released; });
    EXPECT_TRUE(pausedInside);
}

TEST_F(QtEventWaiterTest, CancelReleasesEveryWaitEvenAfterTheApplicationWasToldToExit)
{
    bool pauseReturned = false;
    QTimer::singleShot(1, [&] {
        // Exiting makes every later event loop return at once; the waits must not spin on it.
        QCoreApplication::exit(0);
        waiter.cancel();
        waiter.Pause(10.0);
        pauseReturned = true;
    });
    QElapsedTimer elapsed;
    elapsed.start();

    waiter.waitUntil([] { return false; });

    EXPECT_TRUE(pauseReturned);
    // The pause, had it not been released, would have lasted its ten seconds.
    EXPECT_LT(elapsed.elapsed(), 10'000);
}

} // namespace
} // namespace kpx
