#pragma once

#include <functional>

namespace kpx {

// Waits that keep the windows responsive: events are dispatched while waiting.
class EventWaiter
{
public:
    virtual ~EventWaiter() = default;

    // Returns once more than the given time has passed.
    virtual void Pause(double seconds) = 0;

    // Returns once done() holds; done() is checked at the start and after every wake().
    virtual void WaitUntil(const std::function<bool()> &done) = 0;

    // Asks a running WaitUntil to check its condition again.
    virtual void wake() = 0;

    // Ends every running wait now, and makes every later one return at once.
    virtual void cancel() = 0;
};

} // namespace kpx
