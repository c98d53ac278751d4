#include "results/Clock.h"

#include "platform/Clock.h"

#include <chrono>

namespace kpx {

double SystemClock::milliseconds() const
{
    return std::chrono::duration<double, std::milli>(monotonicNow().time_since_epoch()).count();
}

LocalDateTime SystemClock::localNow() const
{
    return localCalendarNow();
}

} // namespace kpx
