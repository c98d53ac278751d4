#pragma once

#include <cstdint>

namespace kpx {

// The settings the task accepts; the setup window, the simulator and the engine all follow these.

// The distractor threshold: a bracket this wide or narrower brings distractor trials.
constexpr std::int16_t LowestDistractorThreshold = 6;
constexpr std::int16_t HighestDistractorThreshold = 34;
constexpr std::int16_t DefaultDistractorThreshold = 20;

// The Cutoff: recorded and shown only, the task does not stop on it.
constexpr std::int16_t DefaultMaxTrials = 1000;

constexpr bool isDistractorThreshold(int value)
{
    return value >= LowestDistractorThreshold && value <= HighestDistractorThreshold;
}

} // namespace kpx
