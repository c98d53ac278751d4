#include "win32/StartForm.h"

#include "engine/RunSettings.h"
#include "forms/WindowLayouts.h"
#include "i18n/Tr.h"
#include "platform/Win32Paths.h"
#include "win32/Drawing.h"

#include <algorithm>

namespace kpx::win32 {

namespace {

using Layout = forms::StartFormLayout;

constexpr DWORD Style = WS_OVERLAPPEDWINDOW;
// The drop-down list's own height below the selection field.
constexpr int Drive1ListTwips = 3000;

bool sameText(const std::wstring &a, const std::wstring &b)
{
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

// "C:\" for a path on a drive; empty for any other.
std::wstring driveRootOf(const std::wstring &path)
{
    if (path.size() >= 2 && path[1] == L':')
        return std::wstring{wchar_t(towupper(path[0])), L':', L'\\'};
    return {};
}

// The directory itself and its parents, root first.
std::vector<std::wstring> pathChain(const std::wstring &directory)
{
    std::vector<std::wstring> chain;
    const std::wstring root = driveRootOf(directory);
    if (root.empty())
        return {directory};
    chain.push_back(root);
    for (std::size_t at = root.size(); at < directory.size();) {
        std::size_t next = directory.find(L'\\', at);
        if (next == std::wstring::npos)
            next = directory.size();
        chain.push_back(directory.substr(0, next));
        at = next + 1;
    }
    return chain;
}

std::vector<std::wstring> subdirectories(const std::wstring &directory)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    std::wstring pattern = longPath(directory);
    pattern += pattern.ends_with(L'\\') ? L"*" : L"\\*";
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchLimitToDirectories,
                                     nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)
            && name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const std::wstring &a, const std::wstring &b) {
        return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_LESS_THAN;
    });
    return names;
}

// A command's place in the menu bar, left to right; by place, since Language is found by no
// identifier of its own but its sub-menu's.
UINT positionOf(StartForm::Command command)
{
    return UINT(command - StartForm::SIDCtrl);
}

bool isDirectory(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(longPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

StartForm::StartForm(RunSettings &settings, Dialogs &dialogs)
    : m_settings(settings)
    , m_dialogs(dialogs)
{
    m_menu = CreateMenu();
    for (const forms::MenuCommand &each : {Layout::SIDCtrl, Layout::CutCtrl, Layout::DTThresh, Layout::StartCtrl})
        AppendMenuW(m_menu, MF_STRING | (each.enabled ? MF_ENABLED : MF_GRAYED), 0, widen(each.text.text()).c_str());
    // Each shipped language by its own name, the active one marked.
    m_languages = CreatePopupMenu();
    const std::vector<i18n::Language> languages = i18n::shippedLanguages();
    for (std::size_t i = 0; i < languages.size(); ++i)
        AppendMenuW(m_languages, MF_STRING, FirstLanguage + i, widen(languages[i].name).c_str());
    AppendMenuW(m_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(m_languages), widen(Layout::LangCtrl.text.text()).c_str());
    markLanguage();
    // Identifiers by position, left to right.
    for (UINT position = 0; position < 5; ++position) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID;
        item.wID = SIDCtrl + position;
        SetMenuItemInfoW(m_menu, position, TRUE, &item);
    }
    create(Style, 0, widen(Layout::Caption).c_str(), CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
           nullptr, m_menu);
    setMenuText(CutCtrl, forms::cutoffMenuTextAtStart());
    setMenuText(DTThresh, forms::thresholdMenuText(DefaultDistractorThreshold));

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // Created in tab order; Frame1 last, so it lies behind the two lists.
    m_drive1 = CreateWindowExW(0, L"COMBOBOX", nullptr,
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_CLIPSIBLINGS | CBS_DROPDOWNLIST,
                               0, 0, 0, 0, window(), nullptr, instance, nullptr);
    m_dir1 = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_CLIPSIBLINGS | LBS_NOTIFY
                                 | LBS_NOINTEGRALHEIGHT,
                             0, 0, 0, 0, window(), nullptr, instance, nullptr);
    m_frame1 = CreateWindowExW(0, L"BUTTON", widen(Layout::Frame1.caption.text()).c_str(),
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, 0, 0, 0, 0, window(), nullptr,
                               instance, nullptr);
    m_drives = readyDrives();
    for (const Drive &drive : m_drives)
        SendMessageW(m_drive1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive.name.c_str()));
    layOut();

    // An empty or missing documents folder is kept as it is: the list then stays empty, a drive
    // choice leads elsewhere, and a write there is reported when the run ends.
    setDirectory(GetDocumentsFolder());
}

void StartForm::layOut()
{
    const UINT dpi = dpiOf(window());
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    m_font = UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
    for (auto [control, rect] : {std::pair{m_drive1, Layout::Drive1}, std::pair{m_dir1, Layout::Dir1},
                                 std::pair{m_frame1, Layout::Frame1.rect}}) {
        RECT place = pixels(rect, dpi);
        if (control == m_drive1)
            place.bottom += forms::toPixels(Drive1ListTwips, int(dpi));
        SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), TRUE);
    }
    fitMenuBar();
}

void StartForm::fitMenuBar()
{
    // Wider than designed where the commands need it to lie in one row of the bar (a language's words,
    // an entered subject ID): a second row would take the setup's room. The controls keep their places.
    // Never wider than the work area, which an absurdly long ID would ask for.
    const UINT dpi = dpiOf(window());
    RECT client = pixels({0, 0, Layout::Client.width, Layout::Client.height}, dpi);
    const LONG designed = client.right;
    int commands = 0;
    for (int position = 0; position < GetMenuItemCount(m_menu); ++position)
        if (RECT item{}; GetMenuItemRect(window(), m_menu, UINT(position), &item))
            commands += item.right - item.left;
    client.right = std::max<LONG>(client.right, commands);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(window(), MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT border = frameAround({0, 0, 0, 0}, Style, 0, false, dpi);
        const LONG room = (monitor.rcWork.right - monitor.rcWork.left) - (border.right - border.left);
        client.right = std::max(designed, std::min(client.right, room));
    }
    const RECT frame = frameAround(client, Style, 0, true, dpi);
    SetWindowPos(window(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void StartForm::setShowInstructions(std::function<void()> showInstructions)
{
    m_showInstructions = std::move(showInstructions);
}

void StartForm::setCloseGuard(std::function<bool()> mayClose, std::function<void()> closed)
{
    m_mayClose = std::move(mayClose);
    m_closed = std::move(closed);
}

void StartForm::setChooseLanguage(std::function<bool(const std::string &)> chooseLanguage)
{
    m_chooseLanguage = std::move(chooseLanguage);
}

void StartForm::retranslate()
{
    const forms::SetupMenuTexts texts = forms::setupMenuTexts(m_settings, m_subjectIdEntered, m_cutoffEntered);
    setMenuText(SIDCtrl, texts.subjectId);
    setMenuText(CutCtrl, texts.cutoff);
    setMenuText(DTThresh, texts.threshold);
    setMenuText(StartCtrl, texts.start);
    setMenuText(LangCtrl, texts.language);
    markLanguage();
    SetWindowTextW(m_frame1, widen(Layout::Frame1.caption.text()).c_str());
    layOut();
}

void StartForm::markLanguage()
{
    const std::vector<i18n::Language> languages = i18n::shippedLanguages();
    for (std::size_t i = 0; i < languages.size(); ++i)
        if (languages[i].code == i18n::activeLanguage())
            CheckMenuRadioItem(m_languages, FirstLanguage, UINT(FirstLanguage + languages.size() - 1),
                               UINT(FirstLanguage + i), MF_BYCOMMAND);
}

void StartForm::chooseLanguage(std::size_t index)
{
    const std::vector<i18n::Language> languages = i18n::shippedLanguages();
    if (index < languages.size() && m_chooseLanguage)
        m_chooseLanguage(languages[index].code);
    // Refused, the mark stays on the language that stays.
    markLanguage();
}

std::vector<std::wstring> StartForm::languageItems() const
{
    std::vector<std::wstring> items;
    for (int position = 0; position < GetMenuItemCount(m_languages); ++position) {
        wchar_t text[256] = {};
        GetMenuStringW(m_languages, UINT(position), text, 256, MF_BYPOSITION);
        items.push_back(text);
    }
    return items;
}

std::vector<bool> StartForm::languageMarks() const
{
    std::vector<bool> marks;
    for (int position = 0; position < GetMenuItemCount(m_languages); ++position)
        marks.push_back(GetMenuState(m_languages, UINT(position), MF_BYPOSITION) & MF_CHECKED);
    return marks;
}

void StartForm::show()
{
    ShowWindow(window(), SW_SHOWNORMAL);
    SetForegroundWindow(window());
}

std::wstring StartForm::menuText(Command command) const
{
    wchar_t text[512] = {};
    GetMenuStringW(m_menu, positionOf(command), text, 512, MF_BYPOSITION);
    return text;
}

bool StartForm::menuEnabled(Command command) const
{
    return !(GetMenuState(m_menu, positionOf(command), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
}

void StartForm::setMenuText(Command command, const std::string &text)
{
    const std::wstring wide = widen(text);
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING;
    item.dwTypeData = const_cast<wchar_t *>(wide.c_str());
    SetMenuItemInfoW(m_menu, positionOf(command), TRUE, &item);
    DrawMenuBar(window());
}

forms::AskText StartForm::ask()
{
    return [this](const forms::TextQuestion &question) {
        return m_dialogs.askText(window(), question.title, question.prompt, question.defaultText);
    };
}

void StartForm::enterSubjectId()
{
    const std::string text = forms::enterSubjectId(m_settings, ask(), [this](const std::string &refusal) {
        m_dialogs.inform(window(), refusal, Dialogs::Tone::Warning);
    });
    setMenuText(SIDCtrl, text);
    m_subjectIdEntered = true;
    EnableMenuItem(m_menu, StartCtrl, MF_BYCOMMAND | MF_ENABLED);
    DrawMenuBar(window());
    fitMenuBar();
}

void StartForm::SetMaxTrials()
{
    setMenuText(CutCtrl, forms::SetMaxTrials(m_settings, ask()));
    m_cutoffEntered = true;
    fitMenuBar();
}

void StartForm::SetDistractorThreshold()
{
    if (const std::optional<std::string> text = forms::SetDistractorThreshold(m_settings, ask()))
        setMenuText(DTThresh, *text);
    fitMenuBar();
}

void StartForm::setDirectory(const std::wstring &path)
{
    m_directory = path;
    if (!path.empty()) {
        // Asked for its length first: a folder may be longer than any fixed buffer.
        std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
        const DWORD length =
            full.empty() ? 0 : GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (length > 0 && length < full.size()) {
            full.resize(length);
            // No separator at the end but the root's.
            while (full.size() > 3 && full.ends_with(L'\\'))
                full.pop_back();
            m_directory = full;
        }
    }
    m_settings.OutputDirectory = narrow(m_directory);
    fillDir1();

    // The drive list follows, without a drive of its own when the directory is nowhere.
    const std::wstring root = isDirectory(m_directory) ? driveRootOf(m_directory) : std::wstring();
    const auto drive = std::find_if(m_drives.begin(), m_drives.end(),
                                    [&](const Drive &each) { return !root.empty() && sameText(each.root, root); });
    SendMessageW(m_drive1, CB_SETCURSEL, drive == m_drives.end() ? WPARAM(-1) : WPARAM(drive - m_drives.begin()), 0);
}

std::wstring StartForm::dir1Path(int row) const
{
    return row >= 0 && row < int(m_dir1Paths.size()) ? m_dir1Paths[std::size_t(row)] : std::wstring();
}

void StartForm::fillDir1()
{
    SendMessageW(m_dir1, LB_RESETCONTENT, 0, 0);
    m_dir1Paths.clear();
    if (!isDirectory(m_directory))
        return;
    auto add = [&](const std::wstring &path, const std::wstring &name, std::size_t depth) {
        const std::wstring shown = std::wstring(depth * 2, L' ') + name;
        SendMessageW(m_dir1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
        m_dir1Paths.push_back(path);
    };
    const std::vector<std::wstring> chain = pathChain(m_directory);
    for (std::size_t depth = 0; depth < chain.size(); ++depth) {
        const std::wstring &path = chain[depth];
        add(path, depth == 0 ? path : path.substr(path.rfind(L'\\') + 1), depth);
    }
    const int open = int(m_dir1Paths.size()) - 1;
    const std::wstring separator = m_directory.ends_with(L'\\') ? L"" : L"\\";
    for (const std::wstring &name : subdirectories(m_directory))
        add(m_directory + separator + name, name, chain.size());
    // The open directory is the highlighted one until the experimenter highlights another.
    SendMessageW(m_dir1, LB_SETCURSEL, WPARAM(open), 0);
}

void StartForm::chooseDrive()
{
    const LRESULT index = SendMessageW(m_drive1, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= LRESULT(m_drives.size()))
        return;
    const Drive &drive = m_drives[std::size_t(index)];
    // Only a change of drive moves Dir1: choosing the drive already shown leaves it where it is.
    if (sameText(driveRootOf(m_directory), drive.root))
        return;
    // "D:" alone names that drive's current directory.
    setDirectory(drive.root.substr(0, 2));
}

void StartForm::command(WORD id, WORD notification)
{
    if (notification == 0) {
        switch (id) {
        case SIDCtrl:
            enterSubjectId();
            return;
        case CutCtrl:
            SetMaxTrials();
            return;
        case DTThresh:
            SetDistractorThreshold();
            return;
        case StartCtrl:
            if (m_showInstructions && menuEnabled(StartCtrl))
                m_showInstructions();
            return;
        default:
            if (id >= FirstLanguage)
                chooseLanguage(id - FirstLanguage);
            break;
        }
    }
}

LRESULT StartForm::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam == 0) {
            command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        }
        if (reinterpret_cast<HWND>(lParam) == m_drive1 && HIWORD(wParam) == CBN_SELCHANGE) {
            chooseDrive();
            return 0;
        }
        // A single click only highlights; opening takes a double click.
        if (reinterpret_cast<HWND>(lParam) == m_dir1 && HIWORD(wParam) == LBN_DBLCLK) {
            const std::wstring path = dir1Path(int(SendMessageW(m_dir1, LB_GETCURSEL, 0, 0)));
            if (!path.empty())
                setDirectory(path);
            return 0;
        }
        break;
    case WM_DPICHANGED:
        layOut();
        return 0;
    case WM_CLOSE:
        if (m_mayClose && !m_mayClose())
            return 0;
        ShowWindow(window(), SW_HIDE);
        if (m_closed)
            m_closed();
        return 0;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace kpx::win32
