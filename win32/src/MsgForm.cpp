#include "win32/MsgForm.h"

#include "forms/WindowLayouts.h"
#include "presentation/RunFlow.h"
#include "win32/Drawing.h"
#include "win32/Keys.h"

namespace kpx::win32 {

namespace {

using Layout = forms::MsgFormLayout;

// A title bar without text or buttons.
constexpr DWORD Style = WS_POPUP | WS_CAPTION;

} // namespace

MsgForm::MsgForm(HWND owner)
{
    create(Style, 0, NoTitle, 0, 0, 0, 0, owner);
    layOut();
}

void MsgForm::attach(RunFlow &flow)
{
    m_flow = &flow;
}

void MsgForm::layOut()
{
    const UINT dpi = dpiOf(window());
    m_regular = makeFont(Layout::Label1.font, dpi);
    m_bold = makeFont(Layout::Label2.font, dpi);
    // The client area's corner at its place on the primary screen; the frame around it.
    const RECT client = pixels(Layout::Client, dpi);
    const RECT frame = frameAround(client, Style, 0, false, dpi);
    SetWindowPos(window(), nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void MsgForm::setDelayCaption(const std::string &text)
{
    m_delay = widen(text);
    InvalidateRect(window(), nullptr, TRUE);
}

std::string MsgForm::delayCaption() const
{
    return narrow(m_delay);
}

void MsgForm::show()
{
    ShowWindow(window(), SW_SHOW);
    SetForegroundWindow(window());
    SetFocus(window());
    UpdateWindow(window());
}

void MsgForm::hide()
{
    // Hiding the active window hands the keyboard to its owner, the choice window.
    ShowWindow(window(), SW_HIDE);
}

void MsgForm::paint(HDC dc) const
{
    const UINT dpi = dpiOf(window());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    auto label = [&](const forms::Label &layout, HFONT font, const std::wstring &text) {
        const Selected selected(dc, font);
        drawCentred(dc, pixels(layout.rect, dpi), text, layout.wrapped);
    };
    label(Layout::Label1, m_regular.get(), widen(Layout::Label1.caption.text()));
    label(Layout::Label2, m_bold.get(), m_delay);
    label(Layout::Label3, m_regular.get(), widen(Layout::Label3.caption.text()));
}

LRESULT MsgForm::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (m_flow && !isModifierKey(static_cast<int>(wParam)) && !(message == WM_SYSKEYDOWN && wParam == VK_F4))
            m_flow->breakKeyDown(static_cast<int>(wParam), isAutoRepeat(lParam));
        if (message == WM_SYSKEYDOWN && wParam == VK_F4)
            break;
        return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paintStruct;
        BeginPaint(window(), &paintStruct);
        paint(paintStruct.hdc);
        EndPaint(window(), &paintStruct);
        return 0;
    }
    case WM_DPICHANGED:
        layOut();
        InvalidateRect(window(), nullptr, TRUE);
        return 0;
    case WM_CLOSE:
        // The space bar is the only way on; closing would leave the run waiting with no message.
        if (m_flow && !m_flow->finished())
            return 0;
        hide();
        return 0;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace kpx::win32
