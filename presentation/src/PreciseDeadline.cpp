#include "presentation/PreciseDeadline.h"

#include <cerrno>
#include <ctime>

namespace kpx {

int earlyWakeMs(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    const auto left = deadline - WakeEarly - steady_clock::now();
    return left > steady_clock::duration::zero() ? static_cast<int>(duration_cast<milliseconds>(left).count()) : 0;
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

} // namespace kpx
