#include "platform/Clock.h"

#include <emscripten.h>

#include <ctime>

namespace kpx {

std::chrono::steady_clock::time_point monotonicNow()
{
    using namespace std::chrono;
    // performance.now(): milliseconds since the page began, in fractions as fine as the browser
    // allows. The same clock as the events' timeStamp and the animation frames.
    const duration<double, std::milli> since(emscripten_get_now());
    return steady_clock::time_point(duration_cast<steady_clock::duration>(since));
}

void sleepUntil(std::chrono::steady_clock::time_point deadline)
{
    // A page's thread cannot be put to sleep: it waits by watching the clock. The browser's front-end
    // waits on its frames instead; this serves the programs and tests that run under Node.
    while (monotonicNow() < deadline) {
    }
}

CalendarTime localCalendarNow()
{
    // Emscripten's localtime_r asks the browser's Date, so this is the participant's time zone.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

} // namespace kpx
