#pragma once

#include "results/TrialLog.h"

namespace kpx {

// Where a run's times come from; tests script it.
class Clock
{
public:
    virtual ~Clock() = default;

    // Milliseconds on a clock that never jumps; only differences are meaningful.
    virtual double milliseconds() const = 0;

    // The local calendar time now.
    virtual LocalDateTime localNow() const = 0;
};

// The system's monotonic clock and local time.
class SystemClock final : public Clock
{
public:
    double milliseconds() const override;
    LocalDateTime localNow() const override;
};

} // namespace kpx
