#pragma once

#include "presentation/TrialScreen.h"

#include <array>
#include <optional>
#include <string>

namespace kpx {
class Clock;
}

namespace kpx::web {

class PageBridge;

// The choice window in the page: keeps what each control shows and hands the whole picture to the
// page at present(), which draws it at an animation frame and reports that frame as the onset.
class PageTrialScreen final : public TrialScreen
{
public:
    // The bridge and the clock (the frames' own) must outlive the screen.
    PageTrialScreen(PageBridge &bridge, const Clock &clock);

    void setEnabled(TaskControl frame, bool enabled) override;
    void setVisible(TaskControl control, bool visible) override;
    void setBackColor(TaskControl control, TaskColor color) override;
    void setForeColor(TaskControl control, TaskColor color) override;
    void setCaption(TaskControl label, const std::string &text) override;
    std::string caption(TaskControl label) const override;
    void setTimerInterval(int milliseconds) override;
    void setTimerEnabled(bool enabled) override;
    bool AcceptKeys() const override { return m_acceptKeys; }
    void setAcceptKeys(bool accept) override { m_acceptKeys = accept; }
    void present() override;
    std::optional<double> presentedAtMs() const override { return m_presentedAtMs; }
    std::optional<double> displayScale() const override { return m_scale; }
    std::optional<double> frameIntervalMs() const override { return m_frameIntervalMs; }
    std::optional<int> fullScreenExits() const override { return m_fullScreenExits; }
    void show() override;
    void hide() override;

    // The scale the page draws the window at, for the trial log.
    void setDisplayScale(double scale) { m_scale = scale; }
    // The display's frame interval, as the page measured it.
    void setFrameIntervalMs(double ms) { m_frameIntervalMs = ms; }
    // The trials begin in full screen, as the page asked for it: exits are counted from here.
    void countFullScreenExits() { m_fullScreenExits = 0; }
    // The participant left full screen; counted only during the trials.
    void fullScreenLeft()
    {
        if (m_fullScreenExits)
            ++*m_fullScreenExits;
    }
    // The picture as the page draws it: every control's visibility, colours, captions and enabled state.
    std::string stateJson() const;

private:
    struct Control
    {
        bool enabled = true;
        bool visible = true;
        TaskColor back = TaskColor::ButtonFace;
        std::optional<TaskColor> fore; // the button text colour until the run sets one
        std::string caption;
    };
    static constexpr std::size_t ControlCount = 9;

    Control &at(TaskControl control) { return m_controls[static_cast<std::size_t>(control)]; }
    const Control &at(TaskControl control) const { return m_controls[static_cast<std::size_t>(control)]; }

    PageBridge &m_bridge;
    const Clock &m_clock;
    std::array<Control, ControlCount> m_controls{};
    bool m_shown = false;
    bool m_acceptKeys = false;
    bool m_timerEnabled = false;
    int m_timerIntervalMs = 0;
    std::optional<double> m_presentedAtMs;
    std::optional<double> m_scale;
    std::optional<double> m_frameIntervalMs;
    std::optional<int> m_fullScreenExits;
};

} // namespace kpx::web
