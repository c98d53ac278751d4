#pragma once

#include "engine/OneBased.h"

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

// The seven delays, shortest first.
DelayTable StandardDelayTable();

// Block k presents delay k.
PresentationOrder IdentityOrder();

} // namespace kpx
