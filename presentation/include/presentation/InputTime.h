#pragma once

#include <cstdint>
#include <optional>

namespace kpx {

// Places input events on the run's clock by their own timestamps, which count whole milliseconds
// on a clock of the window system's choosing (X server time, a compositor's clock, Qt's own elapsed
// timer offscreen) that may wrap at 32 bits.
class InputTimeMap
{
public:
    // The run-clock moment an event happened, from its timestamp (0: it carries none) and the
    // run-clock moment it was handled; never later than the handling.
    double eventTime(std::uint64_t timestampMs, double handledMs);

private:
    // Handling time minus timestamp, the smallest seen: no event is handled before it happens, so
    // the quickest delivery tells the two clocks' difference best.
    std::optional<double> m_offset;
};

} // namespace kpx
