#pragma once

#include <memory>
#include <string>

namespace kpx {

// While it lives, the process's threads run ahead of other programs where the system allows it, so
// a deadline's wake-up, the paint after it and the participant's key are not queued behind them.
// Each thread is put back as it was at the end; threads and processes started meanwhile begin at
// the ordinary priority. On Linux: the real-time FIFO policy (root, CAP_SYS_NICE or an rtprio
// limit). On Windows: the high priority class, time-critical threads and a 1 ms timer resolution.
class RealtimeScheduling
{
public:
    RealtimeScheduling();
    ~RealtimeScheduling();

    RealtimeScheduling(const RealtimeScheduling &) = delete;
    RealtimeScheduling &operator=(const RealtimeScheduling &) = delete;

    // True when the calling thread was raised.
    bool granted() const { return m_refusal.empty(); }

    // Why it was not granted, in the system's words; empty when it was.
    const std::string &refusal() const { return m_refusal; }

private:
    // What is put back at the end, in the system's own terms.
    struct Saved;
    std::unique_ptr<Saved> m_saved;
    std::string m_refusal;
};

} // namespace kpx
