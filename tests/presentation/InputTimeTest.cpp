#include "RunFlowFixture.h"

#include "presentation/InputTime.h"

namespace kpx {
namespace {

using namespace test;

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

using RunFlowInputTime = RunFlowTest;

TEST_F(RunFlowInputTime, ResponseTimeRunsToTheKeysOwnTimestampNeverBeforeTheOptionsTurnedBlack)
{
    start();
    clock.ms += 2000;
    flow.Activate();
    clock.ms += 500;
    flow.KeyDown(VirtualKey::Right, false, 900'000); // handled at once: anchors the two clocks
    // The green half second and the blank second pass; 2 s later the options turn black.
    clock.ms += 2000;
    flow.Activate();
    clock.ms += 800;
    // Pressed 600 ms after the options turned black (3500 ms after the first key), handled 200 ms later.
    flow.KeyDown(VirtualKey::Left, false, 900'000 + 3500 + 600);
    clock.ms += 2000;
    flow.Activate();
    clock.ms += 5;
    // Pressed 10 ms before the options turned black (4300 + 3500 ms after the first key), taken after.
    flow.KeyDown(VirtualKey::Left, false, 900'000 + 4300 + 3500 - 10);

    std::istringstream rows(readFile(*flow.trialLogPath()));
    std::string line;
    std::vector<std::string> rts;
    std::getline(rows, line);
    while (std::getline(rows, line)) {
        // rt_ms is the eleventh field; these rows hold no quoted commas.
        std::istringstream fields(line);
        std::string field;
        for (int column = 0; column <= 10; ++column)
            std::getline(fields, field, ',');
        rts.push_back(field);
    }
    EXPECT_EQ(rts, (std::vector<std::string>{"500.000", "600.000", "0.000"}));
}

} // namespace
} // namespace kpx
