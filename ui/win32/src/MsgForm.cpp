#include "win32/MsgForm.h"

#include "forms/DisplayFit.h"
#include "forms/WindowLayouts.h"
#include "presentation/RunFlow.h"
#include "win32/Drawing.h"
#include "win32/Keys.h"

namespace kpx::win32 {

namespace {

using Layout = forms::MsgFormLayout;

// A title bar without text or buttons.
constexpr DWORD Style = WS_POPUP | WS_CAPTION;

const forms::Label &labelLayout(int label)
{
    return label == 1 ? Layout::Label1 : label == 2 ? Layout::Label2 : Layout::Label3;
}

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
    layOutFor({clientAreaOnScreen(Style, 0, dpi), static_cast<int>(dpi)});
}

void MsgForm::layOutFor(const forms::Display &display)
{
    m_fit = forms::fitLayout(forms::breakMessageExtent(), display);
    for (int which = 1; which <= 3; ++which)
        fitText(which);
    // The client area at its place on the screen; the frame around it.
    const forms::Rect client = m_fit.place(Layout::Client);
    // The frame is the system's, drawn at the window's own dots per inch.
    const UINT dpi = dpiOf(window());
    const RECT place{client.left, client.top, client.left + client.width, client.top + client.height};
    const RECT frame = frameAround(place, Style, 0, false, dpi);
    SetWindowPos(window(), nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window(), nullptr, TRUE);
}

RECT MsgForm::labelRect(int label) const
{
    const forms::Rect place = m_fit.inside({}, labelLayout(label).rect);
    return {place.left, place.top, place.left + place.width, place.top + place.height};
}

HFONT MsgForm::labelFont(int label) const
{
    return m_fonts[static_cast<std::size_t>(label - 1)].get();
}

std::string MsgForm::labelText(int label) const
{
    return label == 2 ? narrow(m_delay) : labelLayout(label).caption.text();
}

void MsgForm::fitText(int label)
{
    const forms::Label &layout = labelLayout(label);
    const RECT room = labelRect(label);
    forms::Font font = layout.font;
    WindowDC screen(window());
    // At the dots per inch the layout was fitted at, as it scales there.
    font.points = fittedPoints(screen.get(), font, m_fit.dpi, widen(labelText(label)),
                               {room.right - room.left, room.bottom - room.top}, layout.wrapped);
    m_fonts[static_cast<std::size_t>(label - 1)] = makeFont(font, m_fit);
}

void MsgForm::setDelayCaption(const std::string &text)
{
    m_delay = widen(text);
    fitText(2);
    InvalidateRect(window(), nullptr, TRUE);
}

void MsgForm::retranslate()
{
    fitText(1);
    fitText(3);
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
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    auto label = [&](int which, const std::wstring &text, bool wrapped) {
        const Selected selected(dc, labelFont(which));
        drawCentred(dc, labelRect(which), text, wrapped);
    };
    for (int which = 1; which <= 3; ++which)
        label(which, widen(labelText(which)), labelLayout(which).wrapped);
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
