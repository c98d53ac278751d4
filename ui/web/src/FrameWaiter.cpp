#include "web/FrameWaiter.h"

#include "results/Clock.h"
#include "web/PageBridge.h"

namespace kpx::web {

void FrameWaiter::pauseThen(double seconds, const std::function<void()> &prepare)
{
    if (m_cancelled)
        return;
    const double deadlineMs = m_clock.milliseconds() + seconds * 1000.0;
    while (m_bridge.nextFrame() < deadlineMs)
        if (m_cancelled)
            return;
    if (m_cancelled)
        return;
    if (prepare)
        prepare();
}

void FrameWaiter::waitUntil(const std::function<bool()> &done)
{
    while (!m_cancelled && !done())
        m_bridge.waitForWake();
}

void FrameWaiter::wake()
{
    m_bridge.wakeAll();
}

void FrameWaiter::cancel()
{
    m_cancelled = true;
    m_bridge.wakeAll();
}

} // namespace kpx::web
