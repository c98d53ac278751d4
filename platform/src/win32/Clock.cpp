#include "platform/Clock.h"

#include <windows.h>
#include <mmsystem.h>

#include <ctime>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace kpx {

namespace {

LONGLONG counterFrequency()
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

// One waitable timer per thread that sleeps: a high-resolution one where the system has it
// (Windows 10 1803 on, wine), otherwise an ordinary one with the system's timer at 1 ms.
class DeadlineTimer
{
public:
    DeadlineTimer()
        : m_handle(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS))
    {
        if (!m_handle) {
            m_raisedResolution = timeBeginPeriod(1) == TIMERR_NOERROR;
            m_handle = CreateWaitableTimerW(nullptr, TRUE, nullptr);
        }
    }
    ~DeadlineTimer()
    {
        if (m_handle)
            CloseHandle(m_handle);
        if (m_raisedResolution)
            timeEndPeriod(1);
    }
    DeadlineTimer(const DeadlineTimer &) = delete;
    DeadlineTimer &operator=(const DeadlineTimer &) = delete;

    // Waits about the given time; false when no timer could be had.
    bool wait(std::chrono::nanoseconds left)
    {
        if (!m_handle)
            return false;
        LARGE_INTEGER due{};
        // Relative, in 100 ns units, rounded up so the wait is never short of it.
        due.QuadPart = -static_cast<LONGLONG>((left.count() + 99) / 100);
        if (!SetWaitableTimer(m_handle, &due, 0, nullptr, nullptr, FALSE))
            return false;
        return WaitForSingleObject(m_handle, INFINITE) == WAIT_OBJECT_0;
    }

private:
    HANDLE m_handle;
    bool m_raisedResolution = false;
};

} // namespace

std::chrono::steady_clock::time_point monotonicNow()
{
    static const LONGLONG frequency = counterFrequency();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    // Whole seconds and the remainder apart, so the product cannot overflow.
    const LONGLONG seconds = counter.QuadPart / frequency;
    const LONGLONG rest = counter.QuadPart % frequency;
    const auto since = std::chrono::seconds(seconds) + std::chrono::nanoseconds(rest * 1'000'000'000 / frequency);
    return std::chrono::steady_clock::time_point(std::chrono::duration_cast<std::chrono::steady_clock::duration>(since));
}

void sleepUntil(std::chrono::steady_clock::time_point deadline)
{
    thread_local DeadlineTimer timer;
    // The timer runs on the system's interrupt time, the deadline on the performance counter: wait
    // again for what is left until the counter is there.
    for (auto left = deadline - monotonicNow(); left > std::chrono::steady_clock::duration::zero();
         left = deadline - monotonicNow()) {
        if (!timer.wait(std::chrono::duration_cast<std::chrono::nanoseconds>(left)))
            Sleep(static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1));
    }
}

CalendarTime localCalendarNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

} // namespace kpx
