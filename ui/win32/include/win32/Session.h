#pragma once

#include "forms/SessionOf.h"
#include "win32/Instruct.h"
#include "win32/MsgForm.h"
#include "win32/StartForm.h"
#include "win32/TaskForm.h"
#include "win32/Win32Dialogs.h"
#include "win32/Win32EventWaiter.h"
#include "win32/Win32RunHost.h"

#include <functional>

namespace kpx {
class Clock;
class RandomSource;
} // namespace kpx

namespace kpx::win32 {

class MessageLoop;

// The whole application on Win32: the settings, the engine, the four windows and the run flow, alive
// together until the process ends.
class Session
    : public forms::SessionOf<HWND__, Win32EventWaiter, TaskForm, MsgForm, Instruct, Win32RunHost, StartForm>
{
public:
    // quit ends the message loop once every window has gone at the end of the run. The loop, random
    // source, clock and dialogs must outlive the session.
    Session(MessageLoop &loop, Timings timings, RandomSource &random, const Clock &clock, Dialogs &dialogs,
            std::function<void()> quit);
    ~Session();
};

} // namespace kpx::win32
