#pragma once

#include "win32/Handles.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace kpx::win32 {

// The thread's message loop: dispatches window messages and runs the callbacks of its timers, from
// the outermost loop or from any loop nested in a handler, sleeping in MsgWaitForMultipleObjectsEx
// meanwhile. One per thread, made before the windows.
class MessageLoop
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // A high-resolution waitable timer whose expiry runs its callback from whichever loop is running.
    class Timer
    {
    public:
        Timer(MessageLoop &loop, std::function<void()> expired);
        ~Timer();
        Timer(const Timer &) = delete;
        Timer &operator=(const Timer &) = delete;

        // Fires once, at the moment or soon after (never before it).
        void startAt(TimePoint when);
        void stop();
        bool active() const { return m_active; }

    private:
        friend class MessageLoop;
        MessageLoop &m_loop;
        UniqueHandle m_handle;
        std::function<void()> m_expired;
        TimePoint m_when;
        bool m_active = false;
    };

    MessageLoop();
    ~MessageLoop();
    MessageLoop(const MessageLoop &) = delete;
    MessageLoop &operator=(const MessageLoop &) = delete;

    // Keyboard navigation of a dialog (Tab, Return on the default button) in this window.
    void addDialogNavigation(HWND window);

    // Dispatches until done() holds (checked at the start and after each message, timer or wake()),
    // until the deadline, or until the application quits; false when it quit (every loop, nested or
    // not, then ends).
    bool runUntil(const std::function<bool()> &done, std::optional<TimePoint> deadline = std::nullopt);

    // The outermost loop: until WM_QUIT; returns its exit code.
    int run();

    // Makes a running loop check its condition again.
    void wake();

    // True once WM_QUIT has been seen.
    bool quitting() const { return m_quit.has_value(); }

    // When the message being handled was taken from the queue, on the monotonic clock the onsets are
    // read on (a message's own time counts the system's ticks, about 15.6 ms each); nothing for a
    // message this loop did not take (sent, or taken by a modal box's own loop).
    std::optional<TimePoint> retrievedAt(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const;

private:
    struct Retrieved
    {
        MSG message;
        TimePoint at;
    };

    // Sleeps until a message, a timer, a wake or the deadline; then handles what came.
    void waitOnce(std::optional<TimePoint> deadline);
    void dispatchPending();
    void fire(Timer &timer);

    std::vector<Timer *> m_timers;
    std::vector<HWND> m_dialogs;
    UniqueHandle m_wake;
    UniqueHandle m_deadlineTimer;
    std::optional<int> m_quit;
    // The message being dispatched, innermost loop's.
    std::optional<Retrieved> m_dispatching;
};

} // namespace kpx::win32
