#include "win32/Session.h"

#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "forms/RunDialogs.h"
#include "platform/Locale.h"
#include "win32/Instruct.h"
#include "win32/MsgForm.h"
#include "win32/StartForm.h"
#include "win32/TaskForm.h"
#include "win32/Win32EventWaiter.h"
#include "win32/Win32RunHost.h"

namespace kpx::win32 {

namespace {

// Numbers in the results files use the decimal separator of the user's regional settings.
ResultsFormat systemResultsFormat()
{
    ResultsFormat format;
    format.decimalSeparator = userDecimalSeparator();
    return format;
}

} // namespace

Session::Session(MessageLoop &loop, Timings timings, RandomSource &random, const Clock &clock, Dialogs &dialogs,
                 std::function<void()> quit)
    : m_dialogs(dialogs)
    , m_quit(std::move(quit))
    , m_settings(std::make_unique<RunSettings>())
    , m_engine(std::make_unique<TaskEngine>(random))
    , m_waiter(std::make_unique<Win32EventWaiter>(loop))
    , m_taskForm(std::make_unique<TaskForm>(loop))
    , m_msgForm(std::make_unique<MsgForm>(m_taskForm->window()))
    , m_instruct(std::make_unique<Instruct>(loop))
    , m_host(std::make_unique<Win32RunHost>(m_instruct->window(), m_taskForm->window(), dialogs, m_quit))
    , m_flow(std::make_unique<RunFlow>(*m_engine, *m_settings, *m_taskForm, *m_msgForm, *m_waiter, *m_host, clock,
                                       timings, systemResultsFormat()))
    , m_startForm(std::make_unique<StartForm>(*m_settings, dialogs))
{
    m_taskForm->attach(*m_flow);
    m_msgForm->attach(*m_flow);
    m_instruct->setStartTask([this] {
        if (m_taskStarting && !m_flow->started())
            m_taskStarting();
        m_flow->StartTask();
    });
    m_startForm->setShowInstructions([this] { showInstructions(); });
    m_startForm->setCloseGuard(
        [this] { return forms::maySetupClose<HWND__>(*m_flow, *m_host, m_dialogs, m_startForm->window(), m_ending); },
        [this] {
            // Before the run or after its results are written, the setup window is the application.
            if (!m_ending && m_flow->stage() != RunStage::ResultsWritten)
                m_host->terminate();
        });
}

Session::~Session() = default;

void Session::show()
{
    m_startForm->show();
}

void Session::showInstructions()
{
    // One run per process: once it has begun, the instructions have nothing more to start.
    if (m_flow->started())
        return;
    m_instruct->show();
}

} // namespace kpx::win32
