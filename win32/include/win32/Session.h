#pragma once

#include "presentation/RunFlow.h"
#include "win32/Win32Dialogs.h"

#include <functional>
#include <memory>

namespace kpx {
class Clock;
class RandomSource;
class TaskEngine;
struct RunSettings;
} // namespace kpx

namespace kpx::win32 {

class Instruct;
class MessageLoop;
class MsgForm;
class StartForm;
class TaskForm;
class Win32EventWaiter;
class Win32RunHost;

// The whole application on Win32: the settings, the engine, the four windows and the run flow, alive
// together until the process ends, wired as the Qt front-end's Session wires its own.
class Session
{
public:
    // quit ends the message loop once every window has gone at the end of the run. The loop, random
    // source, clock and dialogs must outlive the session.
    Session(MessageLoop &loop, Timings timings, RandomSource &random, const Clock &clock, Dialogs &dialogs,
            std::function<void()> quit);
    ~Session();

    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Opens the setup window.
    void show();

    // Called each time the participant starts the task, just before the run begins.
    void setTaskStarting(std::function<void()> starting) { m_taskStarting = std::move(starting); }

    RunSettings &settings() { return *m_settings; }
    TaskEngine &engine() { return *m_engine; }
    StartForm &startForm() { return *m_startForm; }
    Instruct &instruct() { return *m_instruct; }
    TaskForm &taskForm() { return *m_taskForm; }
    MsgForm &msgForm() { return *m_msgForm; }
    RunFlow &flow() { return *m_flow; }

private:
    void showInstructions();

    Dialogs &m_dialogs;
    std::function<void()> m_quit;
    std::unique_ptr<RunSettings> m_settings;
    std::unique_ptr<TaskEngine> m_engine;
    std::unique_ptr<Win32EventWaiter> m_waiter;
    std::unique_ptr<TaskForm> m_taskForm;
    std::unique_ptr<MsgForm> m_msgForm;
    std::unique_ptr<Instruct> m_instruct;
    std::unique_ptr<Win32RunHost> m_host;
    std::unique_ptr<RunFlow> m_flow;
    std::unique_ptr<StartForm> m_startForm;
    std::function<void()> m_taskStarting;
    bool m_ending = false;
};

} // namespace kpx::win32
