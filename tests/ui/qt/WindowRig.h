#pragma once

#include "ScriptedDialogs.h"

#include "engine/RandomSource.h"
#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "presentation/RunFlow.h"
#include "results/Clock.h"
#include "ui/MsgForm.h"
#include "ui/Session.h"
#include "ui/TaskForm.h"

#include <QEvent>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTimer>

namespace kpx::test {

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

// Collects the areas the widgets paint, each in its own coordinates.
class PaintSpy : public QObject
{
public:
    PaintSpy(const QList<QWidget *> &widgets, QRegion &painted)
        : m_painted(painted)
    {
        for (QWidget *widget : widgets)
            widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }

private:
    QRegion &m_painted;
};

// The application as main builds it, with a seeded random source, scripted dialogs and a count of the
// times it would have quit.
struct SessionRig
{
    explicit SessionRig(Timings timings, std::uint64_t seed = 2024)
        : random(SeededRandom::fixed(seed))
        , session(timings, random, clock, dialogs, [this] { ++quits; })
    {
    }

    // Starts the task, lets the first break pass, and returns once the first trial is on screen in white.
    void start()
    {
        QTimer::singleShot(0, [this] { flow.SignalContinue(); });
        flow.StartTask();
        firstAmount = engine.state().ImmediateAmount;
    }

    Chosen chosen() const { return firstChoice(engine.state(), firstAmount); }

    SeededRandom random;
    SystemClock clock;
    ScriptedDialogs dialogs;
    int quits = 0;
    Session session;
    TaskForm &form = session.taskForm();
    MsgForm &msg = session.msgForm();
    TaskEngine &engine = session.engine();
    RunFlow &flow = session.flow();
    std::int16_t firstAmount = 0;
};

// A session writing to a fresh directory.
struct WindowRig : SessionRig
{
    WindowRig(Timings timings, std::uint64_t seed)
        : SessionRig(timings, seed)
    {
        session.settings().OutputDirectory = outDir.path().toStdString();
    }

    QTemporaryDir outDir;
};

// A choice window whose first amount lies strictly inside the scale, so either choice moves a bound.
struct TaskRig : WindowRig
{
    explicit TaskRig(Timings timings)
        : WindowRig(timings, 11)
    {
    }
};

// The choice window with the break message over it; Timer1 never runs out.
struct BreakRig : WindowRig
{
    BreakRig()
        : WindowRig(Timings{0.001, 0.001, 600000}, 3)
    {
    }
};

} // namespace kpx::test
