#pragma once

#include "forms/SessionOf.h"
#include "presentation/QtEventWaiter.h"
#include "ui/Dialogs.h"
#include "ui/Instruct.h"
#include "ui/MsgForm.h"
#include "ui/QtRunHost.h"
#include "ui/StartForm.h"
#include "ui/TaskForm.h"

#include <functional>

namespace kpx {

class Clock;
class RandomSource;

// The whole application on Qt: the settings, the engine, the four windows and the run flow, alive
// together until the process ends, so the run can read its settings even after the setup window is closed.
class Session : public forms::SessionOf<QWidget, QtEventWaiter, TaskForm, MsgForm, Instruct, QtRunHost, StartForm>
{
public:
    // Wires the windows and the run to what it is given: the application passes the real clock,
    // random source and dialogs, tests their fakes. quit ends the event loop once every window has
    // closed at the end of the run. random, clock and dialogs must outlive the session.
    Session(Timings timings, RandomSource &random, const Clock &clock, Dialogs &dialogs, std::function<void()> quit);
    ~Session();
};

} // namespace kpx
