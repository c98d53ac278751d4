#include "ui/Session.h"

#include <QLocale>

#include <memory>
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

// The windows are made first: the run is wired to them.
Session::Parts qtParts(Dialogs &dialogs, std::function<void()> quit)
{
    Session::Parts parts;
    parts.waiter = std::make_unique<QtEventWaiter>();
    parts.taskForm = std::make_unique<TaskForm>();
    parts.msgForm = std::make_unique<MsgForm>(parts.taskForm.get());
    parts.instruct = std::make_unique<Instruct>();
    parts.host = std::make_unique<QtRunHost>(parts.instruct.get(), parts.taskForm.get(), dialogs, std::move(quit));
    return parts;
}

} // namespace

Session::Session(Timings timings, RandomSource &random, const Clock &clock, Dialogs &dialogs, std::function<void()> quit)
    : SessionOf(qtParts(dialogs, std::move(quit)), random, clock, timings, systemResultsFormat(), dialogs, [this] {
        instruct().showMaximized();
        instruct().raise();
        instruct().activateWindow();
    })
{
    startForm().setCloseGuard([this] { return core().maySetupClose(&startForm()); });
}

Session::~Session() = default;

} // namespace kpx
