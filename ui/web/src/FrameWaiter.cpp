#include "web/FrameWaiter.h"

#include "platform/Clock.h"
#include "web/PageBridge.h"

#include <chrono>

namespace kpx::web {

namespace {

double monotonicMs()
{
    return std::chrono::duration<double, std::milli>(monotonicNow().time_since_epoch()).count();
}

} // namespace

void FrameWaiter::pauseThen(double seconds, const std::function<void()> &prepare)
{
    if (m_cancelled)
        return;
    const double deadlineMs = monotonicMs() + seconds * 1000.0;
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
