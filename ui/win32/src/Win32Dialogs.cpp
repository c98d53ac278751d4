#include "win32/Win32Dialogs.h"

#include "forms/Texts.h"
#include "win32/Drawing.h"

#include <shlobj.h>

#include <cstdint>
#include <vector>

namespace kpx::win32 {

namespace {

const std::wstring &title()
{
    static const std::wstring text = widen(forms::ApplicationTitle);
    return text;
}

// A dialog template built in memory: the window, then each control, in dialog units.
class DialogTemplate
{
public:
    DialogTemplate(const std::wstring &caption, short width, short height)
    {
        add(DWORD(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU));
        add(DWORD(0));
        m_count = m_words.size();
        add(WORD(0));
        for (short each : {short(0), short(0), width, height})
            add(WORD(each));
        add(WORD(0)); // no menu
        add(WORD(0)); // the standard dialog class
        add(caption);
        add(WORD(8));
        add(std::wstring(L"MS Shell Dlg"));
    }

    // A control of a predefined class: 0x80 button, 0x81 edit, 0x82 static.
    void control(WORD windowClass, DWORD style, short x, short y, short width, short height, WORD id,
                 const std::wstring &text = {})
    {
        while (m_words.size() % 2)
            add(WORD(0));
        add(DWORD(style | WS_CHILD | WS_VISIBLE));
        add(DWORD(0));
        for (short each : {x, y, width, height})
            add(WORD(each));
        add(id);
        add(WORD(0xFFFF));
        add(windowClass);
        add(text);
        add(WORD(0)); // no creation data
        ++m_words[m_count];
    }

    const DLGTEMPLATE *get() const { return reinterpret_cast<const DLGTEMPLATE *>(m_words.data()); }

private:
    void add(WORD word) { m_words.push_back(word); }
    void add(DWORD value)
    {
        add(WORD(value & 0xFFFF));
        add(WORD(value >> 16));
    }
    void add(const std::wstring &text)
    {
        for (wchar_t c : text)
            add(WORD(c));
        add(WORD(0));
    }

    std::vector<WORD> m_words;
    std::size_t m_count = 0;
};

constexpr WORD ButtonClass = 0x80;
constexpr WORD EditClass = 0x81;
constexpr WORD StaticClass = 0x82;
constexpr WORD EditId = 100;
constexpr WORD IconId = 101;
constexpr WORD FirstChoiceId = 200;

struct TextEntry
{
    std::wstring defaultText;
    std::wstring text;
};

INT_PTR CALLBACK textEntryProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *entry = reinterpret_cast<TextEntry *>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        entry = reinterpret_cast<TextEntry *>(lParam);
        const HWND edit = GetDlgItem(dialog, EditId);
        SetWindowTextW(edit, entry->defaultText.c_str());
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SetFocus(edit);
        SetForegroundWindow(dialog);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            const HWND edit = GetDlgItem(dialog, EditId);
            std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
            entry->text = text;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK choiceProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageW(dialog, IconId, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetForegroundWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) >= FirstChoiceId || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

int CALLBACK folderChooserProcedure(HWND chooser, UINT message, LPARAM, LPARAM start)
{
    if (message == BFFM_INITIALIZED)
        SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

} // namespace

std::optional<std::string> Win32Dialogs::askText(HWND parent, const std::string &title, const std::string &prompt,
                                                 const std::string &defaultText)
{
    DialogTemplate dialog(widen(title), 246, 76);
    dialog.control(StaticClass, SS_LEFT | SS_NOPREFIX, 7, 7, 174, 40, 0xFFFF, widen(prompt));
    dialog.control(ButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, 189, 7, 50, 14, IDOK, widen(forms::translated(KPX_TR("OK"))));
    dialog.control(ButtonClass, BS_PUSHBUTTON | WS_TABSTOP, 189, 25, 50, 14, IDCANCEL, widen(forms::translated(KPX_TR("Cancel"))));
    dialog.control(EditClass, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 55, 232, 14, EditId);
    TextEntry entry{widen(defaultText), {}};
    const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), parent,
                                                   &textEntryProcedure, reinterpret_cast<LPARAM>(&entry));
    if (answer != IDOK)
        return std::nullopt;
    return narrow(entry.text);
}

bool Win32Dialogs::askYesNo(HWND parent, const std::string &question)
{
    return MessageBoxW(parent, widen(question).c_str(), title().c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND)
        == IDYES;
}

std::optional<int> Win32Dialogs::askChoice(HWND parent, const std::string &text, const std::string &detail,
                                           const std::vector<Choice> &choices)
{
    const short buttonWidth = 80;
    const short width = std::max<short>(300, short(14 + choices.size() * (buttonWidth + 6)));
    DialogTemplate dialog(title(), width, 150);
    dialog.control(StaticClass, SS_ICON, 7, 7, 21, 20, IconId);
    dialog.control(StaticClass, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 36, 7, short(width - 43), 70, 0xFFFF,
                   widen(text));
    dialog.control(StaticClass, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 36, 80, short(width - 43), 40, 0xFFFF,
                   widen(detail));
    std::optional<int> escape;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const Choice &choice = choices[i];
        const bool isCancel = choice.role == Role::Cancel;
        if (isCancel || choice.role == Role::Reject)
            escape = static_cast<int>(i);
        const DWORD style = (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
        dialog.control(ButtonClass, style, short(width - 7 - (choices.size() - i) * (buttonWidth + 6) + 6), 128,
                       buttonWidth, 14, WORD(FirstChoiceId + i), isCancel ? widen(forms::translated(KPX_TR("Cancel"))) : widen(choice.text));
    }
    const INT_PTR answer =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), parent, &choiceProcedure, 0);
    // Escape or the close button: the way out, where the box offers one.
    if (answer == IDCANCEL || answer < FirstChoiceId)
        return escape;
    return static_cast<int>(answer - FirstChoiceId);
}

std::string Win32Dialogs::chooseDirectory(HWND parent, const std::string &start)
{
    const std::wstring startPath = widen(start);
    BROWSEINFOW browse{};
    browse.hwndOwner = parent;
    browse.lpszTitle = title().c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = &folderChooserProcedure;
    browse.lParam = reinterpret_cast<LPARAM>(startPath.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen)
        return {};
    // No fixed buffer: a folder past 260 characters comes back whole, not empty as a Cancel would.
    std::wstring path(MAX_PATH, L'\0');
    bool named = false;
    while (!(named = SHGetPathFromIDListEx(chosen, path.data(), DWORD(path.size()), GPFIDL_DEFAULT))
           && path.size() < 32768)
        path.assign(path.size() * 2, L'\0');
    CoTaskMemFree(chosen);
    if (!named)
        return {};
    path.resize(path.find(L'\0'));
    return narrow(path);
}

void Win32Dialogs::inform(HWND parent, const std::string &message, Tone tone)
{
    MessageBoxW(parent, widen(message).c_str(), title().c_str(),
                MB_OK | MB_SETFOREGROUND | (tone == Tone::Warning ? MB_ICONWARNING : 0));
}

} // namespace kpx::win32
