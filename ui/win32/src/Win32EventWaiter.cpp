#include "win32/Win32EventWaiter.h"

#include "platform/Clock.h"
#include "presentation/PreciseDeadline.h"
#include "win32/MessageLoop.h"

#include <chrono>

namespace kpx::win32 {

Win32EventWaiter::Win32EventWaiter(MessageLoop &loop)
    : m_loop(loop)
{
}

void Win32EventWaiter::pauseThen(double seconds, const std::function<void()> &prepare)
{
    using namespace std::chrono;
    const auto deadline = monotonicNow() + duration_cast<steady_clock::duration>(duration<double>(seconds));
    // Messages are dispatched until shortly before the deadline, then the last few milliseconds are
    // slept, so the pause ends on time and is never short.
    const bool running = m_loop.runUntil([this] { return m_cancelled; }, deadline - WakeEarly);
    if (m_cancelled || !running)
        return;
    if (prepare)
        prepare();
    sleepUntil(deadline);
}

void Win32EventWaiter::waitUntil(const std::function<bool()> &done)
{
    m_loop.runUntil([&] { return m_cancelled || done(); });
}

void Win32EventWaiter::wake()
{
    m_loop.wake();
}

void Win32EventWaiter::cancel()
{
    // Once the application ends, every later wait returns at once instead of looping on.
    m_cancelled = true;
    wake();
}

} // namespace kpx::win32
