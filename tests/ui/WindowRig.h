#pragma once

#include "engine/RandomSource.h"
#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "presentation/BreakScreen.h"
#include "presentation/QtEventWaiter.h"
#include "presentation/RunHost.h"
#include "presentation/RunFlow.h"
#include "results/Clock.h"
#include "ui/MsgForm.h"
#include "ui/TaskForm.h"

#include <QTemporaryDir>
#include <QTimer>

#include <string>

namespace kpx::test {

// Stands in for the break window where only the choice window is under test.
class SilentBreak final : public BreakScreen
{
public:
    void setDelayCaption(const std::string &) override {}
    void show() override {}
    void hide() override {}
};

// Neither shows dialogs nor quits; these tests never reach the end of a run.
class SilentHost final : public RunHost
{
public:
    void HideInstructions() override {}
    void ShowCompletion() override {}
    void Terminate() override {}
    WriteFailureChoice ResolveWriteFailure(const WriteFailure &, std::string &, std::string &) override
    {
        return WriteFailureChoice::Discard;
    }
    bool ConfirmDiscard() override { return true; }
    bool ResolveLogFailure(const WriteFailure &, std::string &) override { return false; }
    void ReportLogFailure(const WriteFailure &) override {}
    bool ResolveLogLost(const std::string &, const WriteFailure &, std::string &) override { return false; }
    void ReportLogWrittenAgain(const std::string &, const std::string &) override {}
};

// Which option the first response of a run took, read from the bounds it moved.
enum class Chosen { Nothing, Immediate, Delayed };

inline Chosen firstChoice(const RunState &state, std::int16_t firstAmount)
{
    if (state.TrialCount == 0)
        return Chosen::Nothing;
    if (state.LowInner == firstAmount)
        return Chosen::Delayed;
    if (state.HighInner == firstAmount)
        return Chosen::Immediate;
    return Chosen::Nothing;
}

// A choice window wired to a real flow, with a break that releases itself.
struct TaskRig
{
    explicit TaskRig(Timings timings)
        : flow(engine, settings, form, breakScreen, waiter, host, clock, timings)
    {
        settings.OutputDirectory = outDir.path().toStdString();
        form.attach(flow);
    }

    // Starts the task and returns once the first trial is on screen in white.
    void start()
    {
        QTimer::singleShot(0, [this] { flow.SignalContinue(); });
        flow.StartTask();
        firstAmount = engine.state().ImmediateAmount;
    }

    Chosen chosen() const { return firstChoice(engine.state(), firstAmount); }

    // A seed whose first amount lies strictly inside the scale, so either choice moves a bound.
    SeededRandom random = SeededRandom::fixed(11);
    TaskEngine engine{random};
    RunSettings settings;
    QTemporaryDir outDir;
    TaskForm form;
    SilentBreak breakScreen;
    QtEventWaiter waiter;
    SilentHost host;
    SystemClock clock;
    RunFlow flow;
    std::int16_t firstAmount = 0;
};

// The choice window with the break message over it, wired to a real flow; Timer1 never runs out.
struct BreakRig
{
    BreakRig()
        : flow(engine, settings, form, msg, waiter, host, clock, Timings{0.001, 0.001, 600000})
    {
        settings.OutputDirectory = outDir.path().toStdString();
        form.attach(flow);
        msg.attach(flow);
    }

    SeededRandom random = SeededRandom::fixed(3);
    TaskEngine engine{random};
    RunSettings settings;
    QTemporaryDir outDir;
    TaskForm form;
    MsgForm msg{&form};
    QtEventWaiter waiter;
    SilentHost host;
    SystemClock clock;
    RunFlow flow;
};

} // namespace kpx::test
