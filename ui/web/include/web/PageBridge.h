#pragma once

#include <string>

namespace kpx::web {

// What the C++ front-end asks of the page's JavaScript. The calls that wait (a frame, a wake, the
// data made safe) suspend the run until the page's promise resolves; the others return at once.
class PageBridge
{
public:
    virtual ~PageBridge() = default;
    // The next animation frame's timestamp, on the monotonic clock; at once with the frame now being
    // drawn when called from within its callback.
    virtual double nextFrame() = 0;
    // Draws the choice window as the state describes it (JSON) at an animation frame, as nextFrame
    // would pick it; returns that frame's timestamp.
    virtual double presentChoice(const std::string &stateJson) = 0;
    virtual void showBreak(const std::string &caption) = 0;
    virtual void hideBreak() = 0;
    // Timer1: activation at the first frame whose time reaches the deadline; a negative deadline stops it.
    virtual void armTimer(double deadlineMs) = 0;
    // Returns after the page's next wake() or cancel() call.
    virtual void waitForWake() = 0;
    // Resolves every waitForWake now.
    virtual void wakeAll() = 0;
    // Stores a synced file of the run in the browser; an empty text when it is stored, else why not.
    virtual std::string storeFile(const std::string &path) = 0;
    // The run's files are written: stores and sends them, then shows the completion message; returns
    // once the participant has dismissed it.
    virtual void complete(const std::string &filesJson) = 0;
    // A message for the participant or the lab, with OK; returns once dismissed.
    virtual void tell(const std::string &message) = 0;
    // The run is over; the page leaves the task.
    virtual void ended() = 0;
};

} // namespace kpx::web
