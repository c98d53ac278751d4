#pragma once

#include <functional>

namespace kpx {

// Waits that keep the windows responsive: events are dispatched while waiting.
class EventWaiter
{
public:
    virtual ~EventWaiter() = default;

    // Returns once more than the given time has passed.
    void Pause(double seconds) { pauseThen(seconds, {}); }

    // Pause(seconds), with `prepare` run just before its end, after the last events it dispatches
    // (not at all when cancelled): changes made there are ready to be painted when the pause ends.
    virtual void pauseThen(double seconds, const std::function<void()> &prepare) = 0;

    // Returns once done() holds; done() is checked at the start and after every wake().
    virtual void waitUntil(const std::function<bool()> &done) = 0;

    // Asks a running waitUntil to check its condition again.
    virtual void wake() = 0;

    // Ends every running wait now, and makes every later one return at once.
    virtual void cancel() = 0;
};

} // namespace kpx
