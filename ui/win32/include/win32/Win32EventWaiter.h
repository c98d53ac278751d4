#pragma once

#include "presentation/EventWaiter.h"

namespace kpx::win32 {

class MessageLoop;

// Waits in nested runs of the message loop, woken by a high-resolution waitable timer or by wake();
// never spins.
class Win32EventWaiter final : public EventWaiter
{
public:
    // The loop must outlive the waiter.
    explicit Win32EventWaiter(MessageLoop &loop);

    void pauseThen(double seconds, const std::function<void()> &prepare) override;
    void waitUntil(const std::function<bool()> &done) override;
    void wake() override;
    void cancel() override;

private:
    MessageLoop &m_loop;
    bool m_cancelled = false;
};

} // namespace kpx::win32
