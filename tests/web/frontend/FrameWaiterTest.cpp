#include "web/FrameWaiter.h"

#include "FakeBridge.h"

#include <gtest/gtest.h>

namespace kpx {
namespace {

using test::FakeBridge;
using test::StillClock;

struct PauseCase
{
    const char *name;
    double seconds;
    double frameMs;
    int frames; // the frame that ends the pause, counted from the call
};

class FramePause : public testing::TestWithParam<PauseCase>
{
};

// A phase lasts whole frames: it ends at the first frame whose time reaches the deadline.
TEST_P(FramePause, EndsAtTheFirstFrameReachingTheDeadline)
{
    StillClock clock;
    FakeBridge bridge(clock, GetParam().frameMs);
    web::FrameWaiter waiter(bridge, clock);
    const double calledAt = clock.ms;
    int prepared = 0;
    double preparedAt = 0.0;
    waiter.pauseThen(GetParam().seconds, [&] {
        ++prepared;
        preparedAt = clock.ms;
    });
    ASSERT_EQ(bridge.frames.size(), static_cast<std::size_t>(GetParam().frames));
    EXPECT_GE(bridge.frames.back(), calledAt + GetParam().seconds * 1000.0);
    // Prepared once, in the frame that ends the pause, so that frame shows the change.
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(preparedAt, bridge.frames.back());
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FramePause,
    testing::Values(PauseCase{"HalfASecondAt60HzIs32Frames", 0.5, 16.0, 32},
                    PauseCase{"AFrameOnTheDeadlineEndsIt", 0.1, 20.0, 5},
                    PauseCase{"AFrameJustShortOfItDoesNot", 0.1, 19.9, 6},
                    PauseCase{"SlowFramesEndItLate", 1.0, 300.0, 4},
                    PauseCase{"NoTimeLeftStillWaitsOneFrame", 0.0, 16.0, 1}),
    [](const testing::TestParamInfo<PauseCase> &info) { return info.param.name; });

TEST(FrameWaiter, CancelEndsAPauseWithoutPreparing)
{
    StillClock clock;
    FakeBridge bridge(clock);
    web::FrameWaiter waiter(bridge, clock);
    bridge.onFrame = [&] {
        if (bridge.frames.size() == 3)
            waiter.cancel();
    };
    bool prepared = false;
    waiter.pauseThen(1.0, [&] { prepared = true; });
    EXPECT_EQ(bridge.frames.size(), 3u);
    EXPECT_FALSE(prepared);
    // Later waits return at once.
    waiter.pauseThen(1.0, {});
    waiter.waitUntil([] { return false; });
    EXPECT_EQ(bridge.frames.size(), 3u);
    EXPECT_EQ(bridge.waits, 0);
}

TEST(FrameWaiter, WaitUntilChecksAgainAfterEachWake)
{
    StillClock clock;
    FakeBridge bridge(clock);
    web::FrameWaiter waiter(bridge, clock);
    bool released = false;
    bridge.onWait = [&] { released = bridge.waits == 2; };
    waiter.waitUntil([&] { return released; });
    EXPECT_EQ(bridge.waits, 2);
    EXPECT_EQ(bridge.frames.size(), 0u);
}

} // namespace
} // namespace kpx
