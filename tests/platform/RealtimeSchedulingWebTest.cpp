#include "platform/RealtimeScheduling.h"

#include <gtest/gtest.h>

namespace {

// The run's log and the setup report whether the task ran raised: a page must never claim it did,
// and must say why, as a refused desktop does.
TEST(RealtimeScheduling, APageIsNeverRaisedAndSaysWhy)
{
    const kpx::RealtimeScheduling realtime;
    EXPECT_FALSE(realtime.granted());
    EXPECT_FALSE(realtime.refusal().empty());
}

} // namespace
