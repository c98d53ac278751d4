#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

namespace kpx {

std::chrono::steady_clock::time_point monotonicNow()
{
    return std::chrono::steady_clock::now();
}

void sleepUntil(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    // steady_clock is CLOCK_MONOTONIC here, so its time points are absolute times of that clock.
    const auto since = duration_cast<nanoseconds>(deadline.time_since_epoch()).count();
    const timespec at{static_cast<time_t>(since / 1'000'000'000), static_cast<long>(since % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

CalendarTime localCalendarNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

} // namespace kpx
