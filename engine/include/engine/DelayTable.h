#pragma once

#include "engine/OneBased.h"

#include <array>
#include <cstdint>
#include <string>

namespace kpx {

// One delay of the task, with the text the participant sees for it.
struct DelayEntry
{
    std::int32_t days = 0;
    std::string text;

    bool operator==(const DelayEntry &) const = default;
};

constexpr int DelayCount = 7;

using DelayTable = OneBased<DelayEntry, DelayCount>;

// Block k uses DelayTable[PresentationOrder[k]].
using PresentationOrder = OneBased<std::int16_t, DelayCount>;

// The seven delays in days, shortest first: the delay table's and the results files' order.
inline constexpr std::array<std::int32_t, DelayCount> StandardDelayDays{1, 7, 30, 90, 180, 365, 1825};

// The seven delays, shortest first.
DelayTable standardDelayTable();

// Block k presents delay k.
PresentationOrder identityOrder();

} // namespace kpx
