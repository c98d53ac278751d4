#include "win32/MessageLoop.h"

#include "platform/Clock.h"

#include <algorithm>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace kpx::win32 {

namespace {

// High resolution where the system has it (Windows 10 1803 on, wine); the process's timer resolution
// is otherwise raised when the run starts.
HANDLE makeWaitableTimer()
{
    if (HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                              TIMER_ALL_ACCESS))
        return timer;
    return CreateWaitableTimerW(nullptr, FALSE, nullptr);
}

// Sets the timer to expire after the time left to `when`, rounded up to its 100 ns units.
void setTimer(HANDLE timer, MessageLoop::TimePoint when)
{
    using namespace std::chrono;
    const auto left = duration_cast<nanoseconds>(when - monotonicNow()).count();
    LARGE_INTEGER due{};
    due.QuadPart = -std::max<LONGLONG>(1, (left + 99) / 100);
    SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
}

} // namespace

MessageLoop::Timer::Timer(MessageLoop &loop, std::function<void()> expired)
    : m_loop(loop)
    , m_handle(makeWaitableTimer())
    , m_expired(std::move(expired))
{
    m_loop.m_timers.push_back(this);
}

MessageLoop::Timer::~Timer()
{
    stop();
    std::erase(m_loop.m_timers, this);
}

void MessageLoop::Timer::startAt(TimePoint when)
{
    m_when = when;
    m_active = true;
    setTimer(m_handle.get(), when);
}

void MessageLoop::Timer::stop()
{
    m_active = false;
    CancelWaitableTimer(m_handle.get());
}

MessageLoop::MessageLoop()
    : m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_deadlineTimer(makeWaitableTimer())
{
}

MessageLoop::~MessageLoop() = default;

void MessageLoop::addDialogNavigation(HWND window)
{
    m_dialogs.push_back(window);
}

void MessageLoop::wake()
{
    SetEvent(m_wake.get());
}

bool MessageLoop::runUntil(const std::function<bool()> &done, std::optional<TimePoint> deadline)
{
    while (!m_quit && !(done && done())) {
        if (deadline && monotonicNow() >= *deadline)
            return true;
        waitOnce(deadline);
    }
    return !m_quit;
}

int MessageLoop::run()
{
    runUntil({});
    return m_quit.value_or(0);
}

void MessageLoop::waitOnce(std::optional<TimePoint> deadline)
{
    std::vector<HANDLE> handles{m_wake.get()};
    std::vector<Timer *> waiting;
    for (Timer *timer : m_timers) {
        if (timer->m_active) {
            handles.push_back(timer->m_handle.get());
            waiting.push_back(timer);
        }
    }
    if (deadline) {
        setTimer(m_deadlineTimer.get(), *deadline);
        handles.push_back(m_deadlineTimer.get());
    }
    // MWMO_INPUTAVAILABLE: messages already in the queue, though seen before, end the wait too.
    const DWORD woken = MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.data(), INFINITE,
                                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (deadline)
        CancelWaitableTimer(m_deadlineTimer.get());
    const DWORD index = woken - WAIT_OBJECT_0;
    if (index >= 1 && index <= waiting.size()) {
        fire(*waiting[index - 1]);
        return;
    }
    if (index == handles.size())
        dispatchPending();
}

void MessageLoop::fire(Timer &timer)
{
    // A timer stopped or started again after it was put in the wait no longer expires now.
    if (!timer.m_active || monotonicNow() < timer.m_when) {
        if (timer.m_active)
            setTimer(timer.m_handle.get(), timer.m_when);
        return;
    }
    timer.m_active = false;
    if (timer.m_expired)
        timer.m_expired();
}

std::optional<MessageLoop::TimePoint> MessageLoop::retrievedAt(HWND window, UINT message, WPARAM wParam,
                                                                LPARAM lParam) const
{
    if (!m_dispatching)
        return std::nullopt;
    const MSG &taken = m_dispatching->message;
    if (taken.hwnd != window || taken.message != message || taken.wParam != wParam || taken.lParam != lParam)
        return std::nullopt;
    return m_dispatching->at;
}

void MessageLoop::dispatchPending()
{
    MSG message;
    // Only what is queued now: a handler that posts again must not keep this pass from returning.
    for (int handled = 0; handled < 64 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++handled) {
        // Input is timed here, as it leaves the queue; a loop nested in its handler has its own.
        const TimePoint retrieved = monotonicNow();
        const std::optional<Retrieved> outer = m_dispatching;
        m_dispatching = Retrieved{message, retrieved};
        struct Restore
        {
            std::optional<Retrieved> &dispatching;
            const std::optional<Retrieved> &outer;
            ~Restore() { dispatching = outer; }
        } restore{m_dispatching, outer};
        if (message.message == WM_QUIT) {
            // Every loop, this one and those further out, ends on it.
            m_quit = static_cast<int>(message.wParam);
            return;
        }
        const bool navigated = std::any_of(m_dialogs.begin(), m_dialogs.end(), [&](HWND dialog) {
            return IsWindowVisible(dialog) && IsDialogMessageW(dialog, &message);
        });
        if (navigated)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace kpx::win32
