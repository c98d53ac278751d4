#pragma once

#include "presentation/EventWaiter.h"

namespace kpx {
class Clock;
}

namespace kpx::web {

class PageBridge;

// Waits on the page's animation frames and wakes, never blocking its thread: each wait suspends the
// run until the page's promise resolves, and the page handles its events meanwhile. A pause ends
// at the first frame whose time reaches its deadline, so a phase lasts whole frames and the change
// prepared at its end is drawn in that frame.
class FrameWaiter final : public EventWaiter
{
public:
    // The bridge and the clock (the frames' own) must outlive the waiter.
    FrameWaiter(PageBridge &bridge, const Clock &clock)
        : m_bridge(bridge)
        , m_clock(clock)
    {
    }

    void pauseThen(double seconds, const std::function<void()> &prepare) override;
    void waitUntil(const std::function<bool()> &done) override;
    void wake() override;
    void cancel() override;

private:
    PageBridge &m_bridge;
    const Clock &m_clock;
    bool m_cancelled = false;
};

} // namespace kpx::web
