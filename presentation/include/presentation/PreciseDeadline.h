#pragma once

#include "platform/Clock.h"

#include <chrono>

namespace kpx {

// How long before a deadline a Qt timer is asked to wake. Qt timers count whole milliseconds and
// fire on the event loop's next pass, and a busy or virtual machine wakes a process several
// milliseconds late now and then; the rest of the way is slept to the exact deadline. Input that
// comes meanwhile waits, but keeps its own timestamp.
constexpr std::chrono::milliseconds WakeEarly{8};

// The whole milliseconds a Qt timer should run to wake about WakeEarly before the deadline; 0 when
// the deadline is nearer than that.
int earlyWakeMs(std::chrono::steady_clock::time_point deadline);

} // namespace kpx
