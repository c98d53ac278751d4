#include "platform/RealtimeScheduling.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <thread>

namespace {

using kpx::RealtimeScheduling;

int policyOf(pid_t thread)
{
    return sched_getscheduler(thread) & ~SCHED_RESET_ON_FORK;
}

TEST(RealtimeScheduling, RaisesEveryThreadWhileItLivesAndPutsThemBack)
{
    if (const RealtimeScheduling probe; !probe.granted())
        GTEST_SKIP() << "real-time scheduling is not permitted here: " << probe.refusal();
    // A thread that only waits, as the window system's event reader does.
    std::promise<pid_t> started;
    std::promise<void> release;
    std::jthread other([&] {
        started.set_value(gettid());
        release.get_future().wait();
    });
    const pid_t otherId = started.get_future().get();
    {
        const RealtimeScheduling realtime;
        EXPECT_EQ(policyOf(0), SCHED_FIFO);
        EXPECT_EQ(policyOf(otherId), SCHED_FIFO);
        int startedMeanwhile = -1;
        std::thread([&] { startedMeanwhile = policyOf(0); }).join();
        EXPECT_EQ(startedMeanwhile, SCHED_OTHER);
    }
    EXPECT_EQ(policyOf(0), SCHED_OTHER);
    EXPECT_EQ(policyOf(otherId), SCHED_OTHER);
    release.set_value();
}

TEST(RealtimeScheduling, AnOrdinaryUserWithoutAnAllowanceIsToldWhyAndKeepsThePolicy)
{
    // In a child process that gives up root and any rtprio allowance.
    const pid_t child = fork();
    if (child == 0) {
        const rlimit none{0, 0};
        if (setrlimit(RLIMIT_RTPRIO, &none) != 0 || (getuid() == 0 && setuid(65534) != 0))
            _exit(2);
        RealtimeScheduling realtime;
        _exit(!realtime.granted() && !realtime.refusal().empty() && policyOf(0) == SCHED_OTHER ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
