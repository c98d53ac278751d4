#pragma once

#include "forms/RunDialogs.h"
#include "win32/Win32Dialogs.h"

#include <functional>

namespace kpx::win32 {

// The run's dialogs, through the application's Dialogs, and the end of the application.
class Win32RunHost final : public forms::RunDialogs<HWND__>
{
public:
    // Either window may be null; ending the application hides every window and then calls quit.
    Win32RunHost(HWND instructions, HWND choiceWindow, Dialogs &dialogs, std::function<void()> quit);

    // The choice window while it is shown, else the instructions, else the active window.
    HWND dialogParent() const override;

    void hideInstructions() override;
    void terminate() override;

protected:
    std::string chooserStart(const std::string &directory) const override;

private:
    HWND m_instructions;
    HWND m_choiceWindow;
    std::function<void()> m_quit;
};

} // namespace kpx::win32
