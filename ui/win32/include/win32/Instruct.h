#pragma once

#include "forms/DisplayFit.h"
#include "win32/BaseWindow.h"
#include "win32/Handles.h"

#include <functional>

namespace kpx::win32 {

class MessageLoop;

// The instructions window: tells the participant how the task works; its OK starts the task.
class Instruct final : public BaseWindow<Instruct>
{
public:
    static constexpr const wchar_t *ClassName = L"KPX2.Instruct";

    // Return and the space bar press OK as in a dialog; the loop must outlive the window.
    explicit Instruct(MessageLoop &loop);

    // Called when OK is pressed.
    void setStartTask(std::function<void()> startTask);
    // Its title, text and OK again, in the active language.
    void retranslate();

    // Maximized, over the setup window, with OK focused.
    void show();
    void hide();

    HWND label1() const { return m_label1; }
    HWND command1() const { return m_command1; }

    // Lays the controls out for that display (the maximized client area and its dots per inch) by the
    // layouts' fit rule; the window does so itself for its monitor.
    void layOutFor(const forms::Display &display);
    // Display pixels per layout pixel at 96 dots per inch, as the controls are laid out now.
    double displayScale() const { return m_scale; }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void layOut();

    HWND m_label1 = nullptr;
    HWND m_command1 = nullptr;
    UniqueFont m_labelFont;
    UniqueFont m_buttonFont;
    double m_scale = 1.0;
    std::function<void()> m_startTask;
};

} // namespace kpx::win32
