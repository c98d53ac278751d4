#include "win32/Drawing.h"

#include "forms/TextFit.h"
#include "presentation/TrialScreen.h"

#include <cmath>

namespace kpx::win32 {

namespace {

template <class Function>
Function *user32Function(const char *name)
{
    // Present from Windows 10 1607 on; looked up so that older systems start too.
    return reinterpret_cast<Function *>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

} // namespace

UINT dpiOf(HWND window)
{
    using GetDpiForWindow = UINT WINAPI(HWND);
    static GetDpiForWindow *const forWindow = user32Function<GetDpiForWindow>("GetDpiForWindow");
    if (forWindow && window)
        if (const UINT dpi = forWindow(window))
            return dpi;
    WindowDC screen(nullptr);
    return static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

RECT pixels(const forms::Rect &rect, UINT dpi, POINT origin)
{
    const int left = origin.x + forms::toPixels(rect.left, static_cast<int>(dpi));
    const int top = origin.y + forms::toPixels(rect.top, static_cast<int>(dpi));
    return {left, top, left + forms::toPixels(rect.width, static_cast<int>(dpi)),
            top + forms::toPixels(rect.height, static_cast<int>(dpi))};
}

RECT frameAround(RECT client, DWORD style, DWORD exStyle, bool menu, UINT dpi)
{
    RECT frame = client;
    using AdjustForDpi = BOOL WINAPI(LPRECT, DWORD, BOOL, DWORD, UINT);
    static AdjustForDpi *const adjust = user32Function<AdjustForDpi>("AdjustWindowRectExForDpi");
    if (adjust)
        adjust(&frame, style, menu, exStyle, dpi);
    else
        AdjustWindowRectEx(&frame, style, menu, exStyle);
    return frame;
}

namespace {

UniqueFont fontAt(const forms::Font &font, double dpi)
{
    LOGFONTW face{};
    // A negative height asks for the character height, as point sizes mean it.
    face.lfHeight = -static_cast<LONG>(std::lround(font.points * dpi / 72.0));
    face.lfWeight = static_cast<LONG>(font.weight);
    face.lfCharSet = ANSI_CHARSET;
    face.lfOutPrecision = OUT_TT_PRECIS;
    face.lfQuality = CLEARTYPE_QUALITY;
    face.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    const std::wstring name = widen(font.face);
    wcsncpy_s(face.lfFaceName, LF_FACESIZE, name.c_str(), LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&face));
}

forms::Rect toLayoutRect(const RECT &r)
{
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

} // namespace

UniqueFont makeFont(const forms::Font &font, UINT dpi)
{
    return fontAt(font, dpi);
}

UniqueFont makeFont(const forms::Font &font, const forms::Fit &fit)
{
    return fontAt(font, fit.dpi);
}

double fittedPoints(HDC dc, const forms::Font &font, double dpi, const std::wstring &text, SIZE room, bool wrapped)
{
    if (text.empty())
        return font.points;
    const auto measure = [&](double points) -> forms::Extent {
        forms::Font sized = font;
        sized.points = points;
        const UniqueFont candidate = fontAt(sized, dpi);
        const Selected selected(dc, candidate.get());
        RECT needed{0, 0, room.cx, room.cy};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                  DT_CALCRECT | DT_CENTER | DT_TOP | DT_NOPREFIX | (wrapped ? DT_WORDBREAK : DT_SINGLELINE));
        return {double(needed.right - needed.left), wrapped ? double(needed.bottom - needed.top) : 0.0};
    };
    return forms::fitPoints(font.points, room.cx, room.cy, measure);
}

forms::Rect maximizedClientArea(HWND window, DWORD style, DWORD exStyle, UINT dpi)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return {0, 0, 1024, 768};
    const RECT frame = frameAround({0, 0, 0, 0}, style, exStyle, false, dpi);
    forms::Rect area = toLayoutRect(monitor.rcWork);
    area.left = 0;
    area.top = 0;
    area.height -= -frame.top - frame.bottom;
    return area;
}

forms::Rect clientAreaOnScreen(DWORD style, DWORD exStyle, UINT dpi)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT work{0, 0, 1024, 768};
    if (GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor))
        work = monitor.rcWork;
    // The frame's parts are negative on the left and top, positive on the right and bottom.
    const RECT frame = frameAround({0, 0, 0, 0}, style, exStyle, false, dpi);
    return toLayoutRect(
        {work.left - frame.left, work.top - frame.top, work.right - frame.right, work.bottom - frame.bottom});
}

COLORREF toColorRef(forms::Rgb rgb)
{
    return RGB(rgb.red, rgb.green, rgb.blue);
}

COLORREF colorOf(TaskColor color)
{
    if (const std::optional<forms::Rgb> rgb = forms::fixedColor(color))
        return toColorRef(*rgb);
    return GetSysColor(COLOR_BTNFACE);
}

void drawCentred(HDC dc, const RECT &rect, const std::wstring &text, bool wrapped)
{
    RECT room = rect;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &room,
              DT_CENTER | DT_TOP | DT_NOPREFIX | (wrapped ? DT_WORDBREAK : DT_SINGLELINE));
}

} // namespace kpx::win32
