#include "results/Clock.h"

#include <chrono>
#include <ctime>

namespace kpx {

double SystemClock::milliseconds() const
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

LocalDateTime SystemClock::localNow() const
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

} // namespace kpx
