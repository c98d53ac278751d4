#include "presentation/InputTime.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kpx {
namespace {

struct Event
{
    std::uint64_t timestampMs;
    double handledMs;
    double expectedMs;
};

struct MappingCase
{
    std::string name;
    std::vector<Event> events;
};

void PrintTo(const MappingCase &c, std::ostream *out)
{
    *out << c.name;
}

class InputTimes : public ::testing::TestWithParam<MappingCase>
{
};

TEST_P(InputTimes, PlaceEachEventOnTheRunsClock)
{
    InputTimeMap map;
    for (const Event &event : GetParam().events)
        EXPECT_NEAR(map.eventTime(event.timestampMs, event.handledMs), event.expectedMs, 1e-6)
            << "timestamp " << event.timestampMs;
}

// The event clock runs 5,000,000 ms ahead of the run's clock in most rows.
INSTANTIATE_TEST_SUITE_P(
    RunFlow, InputTimes,
    ::testing::Values(
        MappingCase{"WithoutATimestampTheHandlingTimeIsUsed", {{0, 1234.5, 1234.5}}},
        MappingCase{"ASlowDeliveryIsTimedWhenTheKeyWasPressed",
                    {{5'001'000, 1000.4, 1000.4}, {5'003'000, 3009.4, 3000.4}}},
        MappingCase{"AQuickerDeliveryCorrectsTheClocksDifference",
                    {{5'001'000, 1003.0, 1003.0}, {5'002'000, 2000.5, 2000.5}, {5'003'000, 3002.0, 3000.5}}},
        MappingCase{"AClockThatJumpsBackIsFollowedAgain",
                    {{5'001'000, 1000.5, 1000.5}, {7, 2000.5, 2000.5}, {1007, 3001.5, 3000.5}}},
        MappingCase{"ClockBehindTheRunsClock", {{20, 1000.0, 1000.0}, {1020, 2004.0, 2000.0}}}),
    [](const auto &info) { return info.param.name; });

} // namespace
} // namespace kpx
