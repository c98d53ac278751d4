#include "ui/Session.h"

#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "forms/RunDialogs.h"
#include "presentation/QtEventWaiter.h"
#include "ui/Instruct.h"
#include "ui/MsgForm.h"
#include "ui/QtRunHost.h"
#include "ui/StartForm.h"
#include "ui/TaskForm.h"

#include <QLocale>

#include <utility>

namespace kpx {

namespace {

// Numbers in the results files use the decimal separator of the user's regional settings.
ResultsFormat systemResultsFormat()
{
    ResultsFormat format;
    const QString decimalPoint = QLocale::system().decimalPoint();
    // The files are 8-bit text: a separator beyond ASCII could not be written faithfully.
    if (decimalPoint.size() == 1 && decimalPoint.at(0).unicode() > 0x20 && decimalPoint.at(0).unicode() < 0x7f)
        format.decimalSeparator = decimalPoint.at(0).toLatin1();
    return format;
}

} // namespace

Session::Session(Timings timings, RandomSource &random, const Clock &clock, Dialogs &dialogs, std::function<void()> quit)
    : m_dialogs(dialogs)
    , m_settings(std::make_unique<RunSettings>())
    , m_engine(std::make_unique<TaskEngine>(random))
    , m_waiter(std::make_unique<QtEventWaiter>())
    , m_taskForm(std::make_unique<TaskForm>())
    , m_msgForm(std::make_unique<MsgForm>(m_taskForm.get()))
    , m_instruct(std::make_unique<Instruct>())
    , m_host(std::make_unique<QtRunHost>(m_instruct.get(), m_taskForm.get(), dialogs, std::move(quit)))
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
    m_startForm->setCloseGuard([this] { return maySetupClose(); });
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
    m_instruct->showMaximized();
    m_instruct->raise();
    m_instruct->activateWindow();
}

bool Session::maySetupClose()
{
    // Ending closes every window, this one included: it must not ask again.
    return forms::maySetupClose<QWidget>(*m_flow, *m_host, m_dialogs, m_startForm.get(), m_ending);
}

} // namespace kpx
