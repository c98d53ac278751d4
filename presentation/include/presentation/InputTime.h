#pragma once

#include <cstdint>
#include <optional>

namespace kpx {

// When an input event happened, as the front-end knows it: the event's own timestamp, in whole
// milliseconds of the window system's clock (0: none), or, where the front-end read the monotonic
// clock the run's times come from as it took the event from the queue, how long before its
// handling that was.
class InputStamp
{
public:
    // A timestamp of the window system's.
    InputStamp(std::uint64_t timestampMs = 0)
        : m_timestampMs(timestampMs)
    {
    }

    // Taken from the queue this many milliseconds before it is handled.
    static InputStamp retrievedBefore(double ms);

    std::uint64_t timestampMs() const { return m_timestampMs; }
    const std::optional<double> &retrievedBeforeMs() const { return m_retrievedBeforeMs; }

private:
    std::uint64_t m_timestampMs = 0;
    std::optional<double> m_retrievedBeforeMs;
};

// Places input events on the run's clock by their own timestamps, which count whole milliseconds
// on a clock of the window system's choosing (X server time, a compositor's clock, Qt's own elapsed
// timer offscreen) that may wrap at 32 bits.
class InputTimeMap
{
public:
    // The run-clock moment an event happened, from its stamp (a timestamp of 0: it carries none) and
    // the run-clock moment it was handled; never later than the handling. A retrieval time needs no
    // mapping: it is on the run's clock already.
    double eventTime(const InputStamp &stamp, double handledMs);

private:
    // Handling time minus timestamp, the smallest seen: no event is handled before it happens, so
    // the quickest delivery tells the two clocks' difference best.
    std::optional<double> m_offset;
};

} // namespace kpx
