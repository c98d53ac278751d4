#pragma once

#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "forms/Dialogs.h"
#include "forms/RunDialogs.h"
#include "i18n/Tr.h"
#include "presentation/RunFlow.h"

#include <functional>
#include <string>
#include <utility>

namespace kpx::forms {

// What every front-end's session holds, without a toolkit: the settings, the engine and the run flow,
// alive together until the process ends, so the run can read its settings even after the setup window
// is closed; and the steps between the windows: the instructions, their OK that starts the task and
// the setup window's close rule. A front-end makes its windows, waiter and run host, hands them in,
// and routes its windows' events to the steps here.
template <class Window>
class SessionCore
{
public:
    // What the front-end made for the run; all of it must outlive the core.
    struct Parts
    {
        TrialScreen &choice;
        BreakScreen &breaks;
        EventWaiter &waiter;
        RunHost &host;
        DialogsOf<Window> &dialogs;
        // Brings the instructions window up, the toolkit's way.
        std::function<void()> showInstructions;
    };

    // random, clock and files must outlive the core.
    SessionCore(RandomSource &random, const Clock &clock, Timings timings, ResultsFormat resultsFormat, Parts parts,
                Files &files = systemFiles())
        : m_parts(std::move(parts))
        , m_engine(random)
        , m_flow(m_engine, m_settings, m_parts.choice, m_parts.breaks, m_parts.waiter, m_parts.host, clock, timings,
                 resultsFormat, files)
    {
    }

    SessionCore(const SessionCore &) = delete;
    SessionCore &operator=(const SessionCore &) = delete;

    RunSettings &settings() { return m_settings; }
    TaskEngine &engine() { return m_engine; }
    RunFlow &flow() { return m_flow; }

    // Called each time the participant starts the task, just before the run begins.
    void setTaskStarting(std::function<void()> starting) { m_taskStarting = std::move(starting); }

    // Called each time the setup window's Language command has made another language the run's.
    void setLanguageChanged(std::function<void()> changed) { m_languageChanged = std::move(changed); }

    // The setup window's Language command: the language, one of i18n::shippedLanguages(), becomes the
    // run's, and every window shows it from then on. Refused once the run has begun (its windows and
    // its trial log keep the language it began in), and for a language not shipped.
    bool chooseLanguage(const std::string &code)
    {
        if (m_flow.started() || !i18n::setLanguage(code))
            return false;
        if (m_languageChanged)
            m_languageChanged();
        return true;
    }

    // The instructions' OK.
    void startTask()
    {
        if (m_taskStarting && !m_flow.started())
            m_taskStarting();
        m_flow.StartTask();
    }

    // The setup window's request for the instructions.
    void showInstructions()
    {
        // One run per process: once it has begun, the instructions have nothing more to start.
        if (m_flow.started())
            return;
        if (m_parts.showInstructions)
            m_parts.showInstructions();
    }

    // The setup window's close guard: whether it may close now (setup is the window asking).
    bool maySetupClose(Window *setup)
    {
        // Ending closes every window, this one included: it must not ask again.
        return forms::maySetupClose<Window>(m_flow, m_parts.host, m_parts.dialogs, setup, m_ending);
    }

    // The setup window has closed, for a toolkit that does not end the application with its last
    // window: before the run or after its results are written, the setup window is the application.
    void setupClosed()
    {
        if (!m_ending && m_flow.stage() != RunStage::ResultsWritten)
            m_parts.host.terminate();
    }

private:
    // Declared in the order they depend on each other; destroyed in reverse.
    Parts m_parts;
    RunSettings m_settings;
    TaskEngine m_engine;
    RunFlow m_flow;
    std::function<void()> m_taskStarting;
    std::function<void()> m_languageChanged;
    bool m_ending = false;
};

} // namespace kpx::forms
