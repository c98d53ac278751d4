#include "platform/RealtimeScheduling.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <future>
#include <thread>

namespace {

using kpx::RealtimeScheduling;

int priorityOf(DWORD id)
{
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
    const int priority = GetThreadPriority(thread);
    CloseHandle(thread);
    return priority;
}

TEST(RealtimeScheduling, RaisesTheProcessAndItsThreadsWhileItLivesAndPutsThemBack)
{
    // A thread that only waits, as a window system's helper threads do.
    std::promise<DWORD> started;
    std::promise<void> release;
    std::thread other([&] {
        started.set_value(GetCurrentThreadId());
        release.get_future().wait();
    });
    const DWORD otherId = started.get_future().get();
    const DWORD classBefore = GetPriorityClass(GetCurrentProcess());
    {
        const RealtimeScheduling realtime;
        ASSERT_TRUE(realtime.granted()) << realtime.refusal();
        EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
        EXPECT_EQ(priorityOf(GetCurrentThreadId()), THREAD_PRIORITY_TIME_CRITICAL);
        EXPECT_EQ(priorityOf(otherId), THREAD_PRIORITY_TIME_CRITICAL);
        int startedMeanwhile = -1;
        std::thread([&] { startedMeanwhile = GetThreadPriority(GetCurrentThread()); }).join();
        EXPECT_EQ(startedMeanwhile, THREAD_PRIORITY_NORMAL);
    }
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), classBefore);
    EXPECT_EQ(priorityOf(GetCurrentThreadId()), THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(priorityOf(otherId), THREAD_PRIORITY_NORMAL);
    release.set_value();
    other.join();
}

} // namespace
