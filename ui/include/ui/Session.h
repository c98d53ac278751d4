#pragma once

#include "presentation/RunFlow.h"
#include "ui/Dialogs.h"

#include <functional>
#include <memory>

namespace kpx {

class Clock;
class Instruct;
class MsgForm;
class QtEventWaiter;
class QtRunHost;
class RandomSource;
class StartForm;
class TaskEngine;
class TaskForm;
struct RunSettings;

// The whole application: the settings, the engine, the four windows and the run flow, alive together
// until the process ends, so the run can read its settings even after the setup window is closed.
class Session
{
public:
    // Wires the windows and the run to what it is given: the application passes the real clock,
    // random source and dialogs, tests their fakes. quit ends the event loop once every window has
    // closed at the end of the run. random, clock and dialogs must outlive the session.
    Session(Timings timings, RandomSource &random, const Clock &clock, Dialogs &dialogs, std::function<void()> quit);
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
    bool maySetupClose();

    // Declared in the order they depend on each other; destroyed in reverse.
    Dialogs &m_dialogs;
    std::unique_ptr<RunSettings> m_settings;
    std::unique_ptr<TaskEngine> m_engine;
    std::unique_ptr<QtEventWaiter> m_waiter;
    std::unique_ptr<TaskForm> m_taskForm;
    std::unique_ptr<MsgForm> m_msgForm;
    std::unique_ptr<Instruct> m_instruct;
    std::unique_ptr<QtRunHost> m_host;
    std::unique_ptr<RunFlow> m_flow;
    std::unique_ptr<StartForm> m_startForm;
    std::function<void()> m_taskStarting;
    bool m_ending = false;
};

} // namespace kpx
