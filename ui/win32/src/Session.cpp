#include "win32/Session.h"

#include "platform/Locale.h"

#include <memory>
#include <utility>

namespace kpx::win32 {

namespace {

// Numbers in the results files use the decimal separator of the user's regional settings.
ResultsFormat systemResultsFormat()
{
    ResultsFormat format;
    format.decimalSeparator = userDecimalSeparator();
    return format;
}

// The windows are made first: the run is wired to them.
Session::Parts win32Parts(MessageLoop &loop, Dialogs &dialogs, std::function<void()> quit)
{
    Session::Parts parts;
    parts.waiter = std::make_unique<Win32EventWaiter>(loop);
    parts.taskForm = std::make_unique<TaskForm>(loop);
    parts.msgForm = std::make_unique<MsgForm>(parts.taskForm->window());
    parts.instruct = std::make_unique<Instruct>(loop);
    parts.host =
        std::make_unique<Win32RunHost>(parts.instruct->window(), parts.taskForm->window(), dialogs, std::move(quit));
    return parts;
}

} // namespace

Session::Session(MessageLoop &loop, Timings timings, RandomSource &random, const Clock &clock, Dialogs &dialogs,
                 std::function<void()> quit)
    : SessionOf(win32Parts(loop, dialogs, std::move(quit)), random, clock, timings, systemResultsFormat(), dialogs,
                [this] { instruct().show(); })
{
    // No toolkit ends the application with its last window here: the setup window's closing may.
    startForm().setCloseGuard([this] { return core().maySetupClose(startForm().window()); },
                              [this] { core().setupClosed(); });
}

Session::~Session() = default;

} // namespace kpx::win32
