#include "win32/Instruct.h"

#include "forms/DisplayFit.h"
#include "forms/WindowLayouts.h"
#include "win32/Drawing.h"
#include "win32/MessageLoop.h"

#include <tuple>

namespace kpx::win32 {

namespace {

using Layout = forms::InstructLayout;

constexpr DWORD Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

} // namespace

Instruct::Instruct(MessageLoop &loop)
{
    create(Style, WS_EX_CONTROLPARENT, widen(Layout::Caption.text()).c_str(), CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
           CW_USEDEFAULT);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_label1 = CreateWindowExW(0, L"STATIC", widen(Layout::Label1.caption.text()).c_str(),
                               WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 0, 0, 0, 0, window(), nullptr,
                               instance, nullptr);
    // IDOK: Return in the window presses it, as the default button of a dialog.
    m_command1 = CreateWindowExW(0, L"BUTTON", widen(Layout::Command1Caption.text()).c_str(),
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0, window(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
    layOut();
    loop.addDialogNavigation(window());
}

void Instruct::retranslate()
{
    SetWindowTextW(window(), widen(Layout::Caption.text()).c_str());
    SetWindowTextW(m_label1, widen(Layout::Label1.caption.text()).c_str());
    SetWindowTextW(m_command1, widen(Layout::Command1Caption.text()).c_str());
}

void Instruct::layOut()
{
    const UINT dpi = dpiOf(window());
    layOutFor({maximizedClientArea(window(), Style, WS_EX_CONTROLPARENT, dpi), static_cast<int>(dpi)});
    // Restored, it takes the design client area; the controls reach beyond it.
    const RECT frame = frameAround(pixels({0, 0, Layout::Client.width, Layout::Client.height}, dpi), Style,
                                   WS_EX_CONTROLPARENT, false, dpi);
    SetWindowPos(window(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Instruct::layOutFor(const forms::Display &display)
{
    const forms::Fit fit = forms::fitLayout(forms::instructionsExtent(), display);
    m_scale = fit.scale();
    m_labelFont = makeFont(Layout::Label1.font, fit);
    m_buttonFont = makeFont(Layout::Command1Font, fit);
    for (auto [control, rect, font] : {std::tuple{m_label1, Layout::Label1.rect, m_labelFont.get()},
                                       std::tuple{m_command1, Layout::Command1, m_buttonFont.get()}}) {
        const forms::Rect place = fit.place(rect);
        SetWindowPos(control, nullptr, place.left, place.top, place.width, place.height, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

void Instruct::setStartTask(std::function<void()> startTask)
{
    m_startTask = std::move(startTask);
}

void Instruct::show()
{
    ShowWindow(window(), SW_SHOWMAXIMIZED);
    SetForegroundWindow(window());
    SetFocus(m_command1);
}

void Instruct::hide()
{
    ShowWindow(window(), SW_HIDE);
}

LRESULT Instruct::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && (HIWORD(wParam) == BN_CLICKED || lParam == 0)) {
            if (m_startTask)
                m_startTask();
            return 0;
        }
        break;
    case WM_SETFOCUS:
        // OK is the only control that takes the keyboard.
        SetFocus(m_command1);
        return 0;
    case WM_DPICHANGED:
        layOut();
        return 0;
    case WM_CLOSE:
        hide();
        return 0;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace kpx::win32
