#pragma once

#include "forms/Dialogs.h"

#include <windows.h>

namespace kpx::win32 {

// The dialog seam as the Win32 windows use it.
using Dialogs = DialogsOf<HWND__>;

// The real dialogs: a text-entry dialog from a template made in memory, message boxes, task dialogs
// for choices and the shell's folder chooser, titled "KPX2".
class Win32Dialogs final : public Dialogs
{
public:
    std::optional<std::string> askText(HWND parent, const std::string &title, const std::string &prompt,
                                       const std::string &defaultText) override;
    bool askYesNo(HWND parent, const std::string &question) override;
    std::optional<int> askChoice(HWND parent, const std::string &text, const std::string &detail,
                                 const std::vector<Choice> &choices) override;
    std::string chooseDirectory(HWND parent, const std::string &start) override;
    void inform(HWND parent, const std::string &message, Tone tone) override;
};

} // namespace kpx::win32
