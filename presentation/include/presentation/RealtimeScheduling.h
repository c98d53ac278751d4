#pragma once

#include <string>
#include <vector>

namespace kpx {

// While it lives, every thread the process has runs under the real-time FIFO policy, where the
// system allows it (root, CAP_SYS_NICE, or an rtprio limit), so a deadline's wake-up, the paint
// after it and the participant's key are not queued behind other programs. Each thread is put back
// as it was at the end; threads and processes started meanwhile begin under the ordinary policy.
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
    struct Thread
    {
        int id;
        int policy;
        int priority;
    };
    std::vector<Thread> m_raised;
    std::string m_refusal;
};

} // namespace kpx
