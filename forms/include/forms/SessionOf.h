#pragma once

#include "forms/SessionCore.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace kpx::forms {

// The whole application on one front-end: its four windows, waiter and run host, wired to the
// settings, engine and run flow of the SessionCore, alive together until the process ends. The
// parameters are the front-end's types: Window (what its dialogs belong to), its EventWaiter, the
// windows, and Host (its RunHost). The front-end's Session derives from this and adds only what its
// toolkit needs.
template <class Window, class Waiter, class TaskForm, class MsgForm, class Instruct, class Host, class StartForm>
class SessionOf
{
public:
    // What the front-end makes before the run can be wired, in the order they depend on each other.
    struct Parts
    {
        std::unique_ptr<Waiter> waiter;
        std::unique_ptr<TaskForm> taskForm;
        std::unique_ptr<MsgForm> msgForm;
        std::unique_ptr<Instruct> instruct;
        std::unique_ptr<Host> host;
    };

    SessionOf(const SessionOf &) = delete;
    SessionOf &operator=(const SessionOf &) = delete;

    // Opens the setup window.
    void show() { m_startForm->show(); }

    // Called each time the participant starts the task, just before the run begins.
    void setTaskStarting(std::function<void()> starting) { m_core.setTaskStarting(std::move(starting)); }

    RunSettings &settings() { return m_core.settings(); }
    TaskEngine &engine() { return m_core.engine(); }
    StartForm &startForm() { return *m_startForm; }
    Instruct &instruct() { return *m_parts.instruct; }
    TaskForm &taskForm() { return *m_parts.taskForm; }
    MsgForm &msgForm() { return *m_parts.msgForm; }
    RunFlow &flow() { return m_core.flow(); }

protected:
    // Wires the parts to the run and opens nothing yet; showInstructions brings the instructions
    // window up, the toolkit's way. random, clock and dialogs must outlive the session.
    SessionOf(Parts parts, RandomSource &random, const Clock &clock, Timings timings, ResultsFormat resultsFormat,
              DialogsOf<Window> &dialogs, std::function<void()> showInstructions)
        : m_parts(std::move(parts))
        , m_core(random, clock, timings, resultsFormat,
                 {*m_parts.taskForm, *m_parts.msgForm, *m_parts.waiter, *m_parts.host, dialogs,
                  std::move(showInstructions)})
        , m_startForm(std::make_unique<StartForm>(m_core.settings(), dialogs))
    {
        m_parts.taskForm->attach(m_core.flow());
        m_parts.msgForm->attach(m_core.flow());
        m_parts.instruct->setStartTask([this] { m_core.startTask(); });
        m_startForm->setShowInstructions([this] { m_core.showInstructions(); });
        m_startForm->setChooseLanguage([this](const std::string &code) { return m_core.chooseLanguage(code); });
        // Every window, made in the language at start, is shown again in the one chosen.
        m_core.setLanguageChanged([this] {
            m_parts.taskForm->retranslate();
            m_parts.msgForm->retranslate();
            m_parts.instruct->retranslate();
            m_startForm->retranslate();
        });
    }

    ~SessionOf() = default;

    // The steps the front-end routes its own events to: the setup window's close rule among them.
    SessionCore<Window> &core() { return m_core; }

private:
    // Declared in the order they depend on each other; destroyed in reverse.
    Parts m_parts;
    SessionCore<Window> m_core;
    std::unique_ptr<StartForm> m_startForm;
};

} // namespace kpx::forms
