#include "platform/RealtimeScheduling.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

namespace kpx {

struct RealtimeScheduling::Saved
{
    struct Thread
    {
        int id;
        int policy;
        int priority;
    };
    std::vector<Thread> raised;
};

namespace {

// Low among real-time priorities: above every ordinary program, below the kernel's interrupt
// threads (50), so the machine's own input and disk work still come first.
constexpr int PreferredPriority = 10;

// Children and threads created while raised start ordinary: nothing the application starts
// meanwhile inherits a policy it never asked for.
constexpr int Raised = SCHED_FIFO | SCHED_RESET_ON_FORK;

struct Policy
{
    int policy;
    int priority;
};

// A thread's policy now; empty when it has ended or cannot be read.
std::optional<Policy> policyOf(int thread)
{
    const int policy = sched_getscheduler(thread);
    sched_param param{};
    if (policy < 0 || sched_getparam(thread, &param) != 0)
        return std::nullopt;
    return Policy{policy, param.sched_priority};
}

bool isRealtime(const Policy &policy)
{
    const int base = policy.policy & ~SCHED_RESET_ON_FORK;
    return base == SCHED_FIFO || base == SCHED_RR;
}

int raiseThread(int thread, int priority)
{
    const sched_param param{priority};
    return sched_setscheduler(thread, Raised, &param) == 0 ? 0 : errno;
}

} // namespace

RealtimeScheduling::RealtimeScheduling()
    : m_saved(std::make_unique<Saved>())
{
    const int self = static_cast<int>(syscall(SYS_gettid));
    const std::optional<Policy> before = policyOf(self);
    // Started under a real-time policy already (chrt, a lab's launcher): that one stands.
    if (before && isRealtime(*before))
        return;
    int priority = PreferredPriority;
    int error = raiseThread(self, priority);
    // An unprivileged user may be allowed real-time priorities only up to an rtprio limit.
    rlimit limit{};
    if (error == EPERM && getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0 &&
        limit.rlim_cur < static_cast<rlim_t>(priority)) {
        priority = static_cast<int>(limit.rlim_cur);
        error = raiseThread(self, priority);
    }
    if (error != 0) {
        m_refusal = std::strerror(error);
        return;
    }
    m_saved->raised.push_back({self, before ? before->policy : SCHED_OTHER, before ? before->priority : 0});

    std::error_code unreadable;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/task", unreadable)) {
        const int thread = std::atoi(entry.path().filename().c_str());
        const std::optional<Policy> policy = thread > 0 && thread != self ? policyOf(thread) : std::nullopt;
        if (policy && !isRealtime(*policy) && raiseThread(thread, priority) == 0)
            m_saved->raised.push_back({thread, policy->policy, policy->priority});
    }
}

RealtimeScheduling::~RealtimeScheduling()
{
    for (const Saved::Thread &thread : m_saved->raised) {
        const sched_param param{thread.priority};
        sched_setscheduler(thread.id, thread.policy, &param);
    }
}

} // namespace kpx
