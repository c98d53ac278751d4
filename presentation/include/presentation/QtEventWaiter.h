#pragma once

#include "presentation/EventWaiter.h"

#include <vector>

class QEventLoop;

namespace kpx {

// Waits in nested Qt event loops released by a precise timer or by wake(); never spins.
class QtEventWaiter final : public EventWaiter
{
public:
    void pauseThen(double seconds, const std::function<void()> &prepare) override;
    void waitUntil(const std::function<bool()> &done) override;
    void wake() override;
    void cancel() override;

private:
    std::vector<QEventLoop *> m_loops;
    bool m_cancelled = false;
};

} // namespace kpx
