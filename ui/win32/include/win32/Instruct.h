#pragma once

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

    // Maximized, over the setup window, with OK focused.
    void show();
    void hide();

    HWND label1() const { return m_label1; }
    HWND command1() const { return m_command1; }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void layOut();

    HWND m_label1 = nullptr;
    HWND m_command1 = nullptr;
    UniqueFont m_labelFont;
    UniqueFont m_buttonFont;
    std::function<void()> m_startTask;
};

} // namespace kpx::win32
