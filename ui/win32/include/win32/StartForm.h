#pragma once

#include "forms/SetupCommands.h"
#include "win32/BaseWindow.h"
#include "win32/DocumentsFolder.h"
#include "win32/Handles.h"
#include "win32/Win32Dialogs.h"

#include <functional>
#include <string>
#include <vector>

namespace kpx {
struct RunSettings;
}

namespace kpx::win32 {

// The setup window: enters the run's settings through its menu and picks the output directory.
class StartForm final : public BaseWindow<StartForm>
{
public:
    static constexpr const wchar_t *ClassName = L"KPX2.StartForm";

    // The menu commands, by their identifiers in WM_COMMAND.
    enum Command : WORD { SIDCtrl = 1001, CutCtrl, DTThresh, StartCtrl };

    // Opens Dir1 on the documents folder, which becomes OutputDirectory; settings and dialogs must
    // outlive the window.
    StartForm(RunSettings &settings, Dialogs &dialogs);

    // Called by Start.
    void setShowInstructions(std::function<void()> showInstructions);
    // Asked before the window closes; false keeps it open. `closed` is called once it has.
    void setCloseGuard(std::function<bool()> mayClose, std::function<void()> closed);

    void show();

    // Dir1's path: opens the directory, which becomes OutputDirectory.
    void setDirectory(const std::wstring &path);
    // The directory Dir1 has open.
    const std::wstring &directory() const { return m_directory; }

    // What the window shows, for its tests.
    std::wstring menuText(Command command) const;
    bool menuEnabled(Command command) const;
    HWND drive1() const { return m_drive1; }
    HWND dir1() const { return m_dir1; }
    HWND frame1() const { return m_frame1; }
    // The path of Dir1's entry at that row.
    std::wstring dir1Path(int row) const;

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void layOut();
    forms::AskText ask();
    void command(WORD id, WORD notification);
    void setMenuText(Command command, const std::string &text);
    void enterSubjectId();
    void SetMaxTrials();
    void SetDistractorThreshold();
    void chooseDrive();
    void fillDir1();

    RunSettings &m_settings;
    Dialogs &m_dialogs;
    std::function<void()> m_showInstructions;
    std::function<bool()> m_mayClose;
    std::function<void()> m_closed;
    std::wstring m_directory;
    std::vector<Drive> m_drives;
    std::vector<std::wstring> m_dir1Paths;

    HMENU m_menu = nullptr;
    HWND m_drive1 = nullptr;
    HWND m_dir1 = nullptr;
    HWND m_frame1 = nullptr;
    UniqueFont m_font;
};

} // namespace kpx::win32
