#pragma once

#include <chrono>

namespace kpx {

// Now on the system's monotonic clock (CLOCK_MONOTONIC, QueryPerformanceCounter on Windows): it never
// jumps, and only differences between its readings mean anything.
std::chrono::steady_clock::time_point monotonicNow();

// Blocks the thread, without spinning, until monotonicNow() reaches the deadline; never returns early.
void sleepUntil(std::chrono::steady_clock::time_point deadline);

// A calendar date and time of day.
struct CalendarTime
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local calendar time now, in the user's time zone.
CalendarTime localCalendarNow();

} // namespace kpx
