#include "web/PageTrialScreen.h"

#include "forms/WindowLayouts.h"
#include "web/Json.h"
#include "web/PageBridge.h"

#include "results/Clock.h"

namespace kpx::web {

namespace {

constexpr std::array<const char *, 9> ControlNames{"Frame1", "Frame2", "Label1", "Label2", "Label3",
                                                   "Label4", "Label5", "VDelay", "VReward"};

const char *colorName(TaskColor color)
{
    switch (color) {
    case TaskColor::ButtonFace:
        return "buttonface";
    case TaskColor::Green:
        return "green";
    case TaskColor::White:
        return "white";
    case TaskColor::Black:
        return "black";
    }
    return "buttonface";
}

} // namespace

PageTrialScreen::PageTrialScreen(PageBridge &bridge, const Clock &clock)
    : m_bridge(bridge)
    , m_clock(clock)
{
    // The frames take no clicks until the first trial becomes answerable.
    at(TaskControl::Frame1).enabled = false;
    at(TaskControl::Frame2).enabled = false;
    for (TaskControl label : {TaskControl::Label1, TaskControl::Label2, TaskControl::Label3, TaskControl::Label4,
                              TaskControl::Label5})
        at(label).caption = [label] {
            using Layout = forms::TaskFormLayout;
            switch (label) {
            case TaskControl::Label1:
                return Layout::Label1.caption;
            case TaskControl::Label2:
                return Layout::Label2.caption;
            case TaskControl::Label3:
                return Layout::Label3.caption;
            case TaskControl::Label4:
                return Layout::Label4.caption;
            default:
                return Layout::Label5.caption;
            }
        }();
}

void PageTrialScreen::setEnabled(TaskControl frame, bool enabled)
{
    at(frame).enabled = enabled;
}

void PageTrialScreen::setVisible(TaskControl control, bool visible)
{
    at(control).visible = visible;
}

void PageTrialScreen::setBackColor(TaskControl control, TaskColor color)
{
    at(control).back = color;
}

void PageTrialScreen::setForeColor(TaskControl control, TaskColor color)
{
    at(control).fore = color;
}

void PageTrialScreen::setCaption(TaskControl label, const std::string &text)
{
    at(label).caption = text;
}

std::string PageTrialScreen::caption(TaskControl label) const
{
    return at(label).caption;
}

void PageTrialScreen::setTimerInterval(int milliseconds)
{
    m_timerIntervalMs = milliseconds;
}

void PageTrialScreen::setTimerEnabled(bool enabled)
{
    if (enabled == m_timerEnabled)
        return;
    m_timerEnabled = enabled;
    // Counted from the picture the timer follows, so the white phase lasts its interval on screen.
    const double fromMs = m_presentedAtMs.value_or(m_clock.milliseconds());
    m_bridge.armTimer(enabled ? fromMs + m_timerIntervalMs : -1.0);
}

void PageTrialScreen::present()
{
    m_presentedAtMs = m_bridge.presentChoice(stateJson());
}

void PageTrialScreen::show()
{
    m_shown = true;
}

void PageTrialScreen::hide()
{
    m_shown = false;
    m_timerEnabled = false;
    m_bridge.armTimer(-1.0);
    m_presentedAtMs = m_bridge.presentChoice(stateJson());
}

std::string PageTrialScreen::stateJson() const
{
    std::string json = "{\"shown\":";
    json += m_shown ? "true" : "false";
    json += ",\"acceptKeys\":";
    json += m_acceptKeys ? "true" : "false";
    json += ",\"controls\":{";
    for (std::size_t i = 0; i < ControlCount; ++i) {
        const Control &c = m_controls[i];
        if (i > 0)
            json += ',';
        json += jsonString(ControlNames[i]);
        json += ":{\"enabled\":";
        json += c.enabled ? "true" : "false";
        json += ",\"visible\":";
        json += c.visible ? "true" : "false";
        json += ",\"back\":";
        json += jsonString(colorName(c.back));
        json += ",\"fore\":";
        json += c.fore ? jsonString(colorName(*c.fore)) : std::string("\"buttontext\"");
        json += ",\"caption\":";
        json += jsonString(c.caption);
        json += '}';
    }
    return json + "}}";
}

} // namespace kpx::web
