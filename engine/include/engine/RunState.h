#pragma once

#include "engine/DelayTable.h"
#include "engine/OneBased.h"
#include "engine/TaskRules.h"

#include <cstdint>

namespace kpx {

// Whole dollars; every amount and bound is a multiple of Step.
constexpr std::int16_t Step = 5;
constexpr std::int16_t DelayedAmount = 100;
constexpr std::int16_t FinishedBlock = DelayCount + 1;

// All task-engine state of one run.
struct RunState
{
    std::int16_t BlockIndex = 1;
    std::int16_t ImmediateAmount = 0;
    std::int16_t LowInner = 0;
    std::int16_t LowOuter = 0;
    std::int16_t HighInner = DelayedAmount;
    std::int16_t HighOuter = DelayedAmount;
    bool ChoseDelayed = false;
    bool ChoseImmediate = false;
    std::int16_t TrialCount = 0;
    std::int16_t DistractorCounter = 0;
    std::int16_t DistractorThreshold = DefaultDistractorThreshold;
    // Indexed by DelayTable index, written when that delay's block ends.
    OneBased<double, DelayCount> IndifferencePoints;
    OneBased<std::int16_t, DelayCount> TrialCounts;

    // LowOuter <= LowInner <= HighInner <= HighOuter.
    bool boundsOrdered() const
    {
        return LowOuter <= LowInner && LowInner <= HighInner && HighInner <= HighOuter;
    }
};

} // namespace kpx
