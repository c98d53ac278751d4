#include "platform/RealtimeScheduling.h"

#include "platform/WideText.h"

#include <mmsystem.h>
#include <tlhelp32.h>

#include <optional>
#include <vector>

namespace kpx {

struct RealtimeScheduling::Saved
{
    struct Thread
    {
        DWORD id;
        int priority;
    };
    DWORD priorityClass = NORMAL_PRIORITY_CLASS;
    std::vector<Thread> raised;
    bool raisedResolution = false;
};

namespace {

// Returns the thread's priority before, or nothing when it could not be raised.
std::optional<int> raiseThread(DWORD id)
{
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION | THREAD_SET_INFORMATION, FALSE, id);
    if (!thread)
        return std::nullopt;
    const int before = GetThreadPriority(thread);
    const bool raised = before != THREAD_PRIORITY_ERROR_RETURN
        && SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    CloseHandle(thread);
    return raised ? std::optional<int>(before) : std::nullopt;
}

} // namespace

RealtimeScheduling::RealtimeScheduling()
    : m_saved(std::make_unique<Saved>())
{
    HANDLE process = GetCurrentProcess();
    m_saved->priorityClass = GetPriorityClass(process);
    // Started at a higher class already (a lab's launcher): that one stands.
    if (m_saved->priorityClass != HIGH_PRIORITY_CLASS && m_saved->priorityClass != REALTIME_PRIORITY_CLASS) {
        if (!SetPriorityClass(process, HIGH_PRIORITY_CLASS)) {
            m_refusal = win32::errorText(GetLastError());
            return;
        }
    }
    const DWORD self = GetCurrentThreadId();
    const std::optional<int> before = raiseThread(self);
    if (!before) {
        m_refusal = win32::errorText(GetLastError());
        SetPriorityClass(process, m_saved->priorityClass);
        return;
    }
    m_saved->raised.push_back({self, *before});

    // The process's other threads, which carry input and the window system's work.
    if (HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0); snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
            if (entry.th32OwnerProcessID != GetCurrentProcessId() || entry.th32ThreadID == self)
                continue;
            if (const std::optional<int> priority = raiseThread(entry.th32ThreadID))
                m_saved->raised.push_back({entry.th32ThreadID, *priority});
        }
        CloseHandle(snapshot);
    }
    // Timers and sleeps to the millisecond where no high-resolution timer is had.
    m_saved->raisedResolution = timeBeginPeriod(1) == TIMERR_NOERROR;
}

RealtimeScheduling::~RealtimeScheduling()
{
    if (!m_saved)
        return;
    for (const Saved::Thread &saved : m_saved->raised) {
        if (HANDLE thread = OpenThread(THREAD_SET_INFORMATION, FALSE, saved.id)) {
            SetThreadPriority(thread, saved.priority);
            CloseHandle(thread);
        }
    }
    if (m_saved->raisedResolution)
        timeEndPeriod(1);
    if (granted())
        SetPriorityClass(GetCurrentProcess(), m_saved->priorityClass);
}

} // namespace kpx
