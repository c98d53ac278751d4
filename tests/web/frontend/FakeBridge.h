#pragma once

#include "results/Clock.h"
#include "web/PageBridge.h"

#include <string>
#include <vector>

namespace kpx::test {

// A clock that stands still unless a test moves it.
class StillClock final : public Clock
{
public:
    double milliseconds() const override { return ms; }
    LocalDateTime localNow() const override { return {2026, 12, 9, 12, 0, 0}; }

    double ms = 5000.0;
};

// Frames come every frameMs on the clock: each nextFrame moves it to the next one. Wakes are
// counted; a wait for one returns at once.
class FakeBridge final : public web::PageBridge
{
public:
    explicit FakeBridge(StillClock &clock, double frameMs = 16.0)
        : m_clock(clock)
        , m_frameMs(frameMs)
    {
    }

    double nextFrame() override
    {
        m_clock.ms += m_frameMs;
        frames.push_back(m_clock.ms);
        if (onFrame)
            onFrame();
        return m_clock.ms;
    }
    double presentChoice(const std::string &stateJson) override
    {
        presented.push_back(stateJson);
        return nextFrame();
    }
    void showBreak(const std::string &caption) override { breaks.push_back(caption); }
    void hideBreak() override {}
    void armTimer(double deadlineMs) override { timer = deadlineMs; }
    void waitForWake() override
    {
        ++waits;
        if (onWait)
            onWait();
    }
    void wakeAll() override { ++wakes; }
    std::string storeFile(const std::string &) override { return {}; }
    void complete(const std::string &) override {}
    void tell(const std::string &message) override { told.push_back(message); }
    void ended() override {}

    std::vector<double> frames;
    std::vector<std::string> presented;
    std::vector<std::string> breaks;
    std::vector<std::string> told;
    std::function<void()> onFrame;
    std::function<void()> onWait;
    double timer = -1.0;
    int waits = 0;
    int wakes = 0;

private:
    StillClock &m_clock;
    double m_frameMs;
};

} // namespace kpx::test
