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
    enum Command : WORD { SIDCtrl = 1001, CutCtrl, DTThresh, StartCtrl, LangCtrl };
    // The Language command's items: i18n::shippedLanguages() in order from this identifier on.
    static constexpr WORD FirstLanguage = 1101;

    // Opens Dir1 on the documents folder, which becomes OutputDirectory; settings and dialogs must
    // outlive the window.
    StartForm(RunSettings &settings, Dialogs &dialogs);

    // Called by Start.
    void setShowInstructions(std::function<void()> showInstructions);
    // Asked before the window closes; false keeps it open. `closed` is called once it has.
    void setCloseGuard(std::function<bool()> mayClose, std::function<void()> closed);
    // Called by the Language command with the code of the language chosen; false when refused.
    void setChooseLanguage(std::function<bool(const std::string &)> chooseLanguage);
    // The commands' and the frame's texts again, in the active language, which the Language command marks.
    void retranslate();

    void show();

    // Dir1's path: opens the directory, which becomes OutputDirectory.
    void setDirectory(const std::wstring &path);
    // The directory Dir1 has open.
    const std::wstring &directory() const { return m_directory; }

    // What the window shows, for its tests.
    std::wstring menuText(Command command) const;
    bool menuEnabled(Command command) const;
    // The Language command's items as they read, and whether each is the one marked.
    std::vector<std::wstring> languageItems() const;
    std::vector<bool> languageMarks() const;
    HWND drive1() const { return m_drive1; }
    HWND dir1() const { return m_dir1; }
    HWND frame1() const { return m_frame1; }
    // The path of Dir1's entry at that row.
    std::wstring dir1Path(int row) const;

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void layOut();
    void fitMenuBar();
    forms::AskText ask();
    void command(WORD id, WORD notification);
    void chooseLanguage(std::size_t index);
    // Marks the active language among the Language command's items.
    void markLanguage();
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
    std::function<bool(const std::string &)> m_chooseLanguage;
    // Whether SIDCtrl and CutCtrl show an entry yet, rather than their captions at start.
    bool m_subjectIdEntered = false;
    bool m_cutoffEntered = false;
    std::wstring m_directory;
    std::vector<Drive> m_drives;
    std::vector<std::wstring> m_dir1Paths;

    HMENU m_menu = nullptr;
    HMENU m_languages = nullptr;
    HWND m_drive1 = nullptr;
    HWND m_dir1 = nullptr;
    HWND m_frame1 = nullptr;
    UniqueFont m_font;
};

} // namespace kpx::win32
