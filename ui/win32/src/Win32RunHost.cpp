#include "win32/Win32RunHost.h"

#include "platform/Win32Paths.h"
#include "win32/DocumentsFolder.h"
#include "win32/Drawing.h"

namespace kpx::win32 {

namespace {

BOOL CALLBACK hideWindow(HWND window, LPARAM)
{
    ShowWindow(window, SW_HIDE);
    return TRUE;
}

} // namespace

Win32RunHost::Win32RunHost(HWND instructions, HWND choiceWindow, Dialogs &dialogs, std::function<void()> quit)
    : RunDialogs(dialogs)
    , m_instructions(instructions)
    , m_choiceWindow(choiceWindow)
    , m_quit(std::move(quit))
{
}

HWND Win32RunHost::dialogParent() const
{
    for (HWND window : {m_choiceWindow, m_instructions})
        if (window && IsWindowVisible(window))
            return window;
    return GetActiveWindow();
}

void Win32RunHost::hideInstructions()
{
    if (m_instructions)
        ShowWindow(m_instructions, SW_HIDE);
}

void Win32RunHost::terminate()
{
    m_terminating = true;
    // All windows go at once, whatever they would say to a close.
    EnumThreadWindows(GetCurrentThreadId(), &hideWindow, 0);
    if (m_quit)
        m_quit();
}

std::string Win32RunHost::chooserStart(const std::string &directory) const
{
    const DWORD attributes = GetFileAttributesW(systemPath(directory).c_str());
    if (!directory.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return directory;
    return narrow(GetDocumentsFolder());
}

} // namespace kpx::win32
