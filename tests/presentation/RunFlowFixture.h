#pragma once

#include "Fakes.h"
#include "FaultyFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace kpx::test {

namespace fs = std::filesystem;

// A flow wired to recording fakes, writing into a fresh temporary directory.
class RunFlowTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        settings.SubjectId = "S9";
        settings.OutputDirectory = dir.string();
        settings.DistractorThreshold = 15;
        // The participant presses the space bar whenever a break message waits.
        waiter.duringWait = [this] { flow.breakKeyDown(VirtualKey::Space); };
        waiter.clock = &clock;
    }

    // Starts the task and returns what it did.
    Log start()
    {
        random.queued = {0.375f}; // first amount $40
        flow.StartTask();
        return takeLog();
    }

    Log takeLog()
    {
        Log taken;
        taken.swap(log);
        return taken;
    }

    // Answers until the run is over (or n answers): the immediate amount when it is $55 or more.
    std::size_t answerAll(std::size_t n = 5000)
    {
        std::size_t answers = 0;
        for (; !flow.finished() && answers < n; ++answers) {
            flow.activate();
            flow.KeyDown(engine.state().ImmediateAmount >= 55 ? VirtualKey::Left : VirtualKey::Right);
        }
        return answers;
    }

    // Puts the engine one delayed answer away from the end of the current block.
    void oneAnswerFromBlockEnd()
    {
        RunState &s = engine.state();
        s.LowInner = 60;
        s.LowOuter = 55;
        s.HighInner = 65;
        s.HighOuter = 65;
        s.ImmediateAmount = 60;
    }

    ScratchDirectory scratch{"kpx-flow"};
    fs::path dir = scratch.path();
    Log log;
    RunSettings settings;
    LoggingRandom random{log};
    TaskEngine engine{random};
    FakeScreen screen{log};
    FakeBreak breakScreen;
    FakeWaiter waiter{log};
    FakeHost host{log};
    FakeClock clock;
    FaultyFiles files;
    RunFlow flow{engine, settings, screen, breakScreen, waiter, host, clock, Timings{}, ResultsFormat{}, files};
};

} // namespace kpx::test
