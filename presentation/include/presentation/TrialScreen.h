#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kpx {

// The controls of the choice window that the trial cycle changes.
enum class TaskControl { Frame1, Frame2, Label1, Label2, Label3, Label4, Label5, VDelay, VReward, };

enum class TaskColor {
    ButtonFace, // the system's button-face colour
    Green,      // RGB(0, 128, 0): the chosen option
    White,      // RGB(255, 255, 255): options not yet answerable
    Black,      // options answerable
};

// The choice window as the trial cycle sees it.
class TrialScreen
{
public:
    virtual ~TrialScreen() = default;

    // Frame1 or Frame2; a disabled frame delivers no clicks for itself or its labels.
    virtual void setEnabled(TaskControl frame, bool enabled) = 0;
    // Frame1, Frame2 or Label2; hiding a frame hides its labels.
    virtual void setVisible(TaskControl control, bool visible) = 0;
    virtual void setBackColor(TaskControl control, TaskColor color) = 0;
    virtual void setForeColor(TaskControl control, TaskColor color) = 0;
    // VReward or VDelay.
    virtual void setCaption(TaskControl label, const std::string &text) = 0;
    virtual std::string caption(TaskControl label) const = 0;

    virtual void setTimerInterval(int milliseconds) = 0;
    // An enabled Timer1 fires after its interval, and again each interval while enabled.
    virtual void setTimerEnabled(bool enabled) = 0;

    virtual bool AcceptKeys() const = 0;
    virtual void setAcceptKeys(bool accept) = 0;

    // Paints every change made so far and hands it to the window system before returning, instead
    // of on the event loop's next pass.
    virtual void present() = 0;
    // Where the window system tells when the last present() reached the display: that moment on the
    // monotonic clock, in milliseconds (a browser's animation frame). None where only the return of
    // present() tells it.
    virtual std::optional<double> presentedAtMs() const { return std::nullopt; }
    // Paints the changes made so far where the participant cannot see them yet, shortly before a
    // phase's deadline, so that the present() on the deadline only has to hand them over.
    virtual void paintAhead() {}
    // Paints, where the participant cannot see it, the picture the change would make, and undoes
    // the change. If that same change is then made before the next present(), present() shows the
    // picture painted ahead at once.
    virtual void rehearse(const std::function<void()> & /*change*/) {}

    // Display pixels per design pixel (96 dots per inch) the window is drawn at, for the trial log;
    // none where there is no display.
    virtual std::optional<double> displayScale() const { return std::nullopt; }
    // The display's frame interval in milliseconds, measured once for the run, where the window
    // system presents on frames; none elsewhere.
    virtual std::optional<double> frameIntervalMs() const { return std::nullopt; }
    // How often the participant has left full screen since the trials began, where the task asked
    // for full screen; none elsewhere.
    virtual std::optional<int> fullScreenExits() const { return std::nullopt; }
    // Shows the window maximized, not modal.
    virtual void show() = 0;
    virtual void hide() = 0;
};

} // namespace kpx
