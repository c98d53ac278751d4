#pragma once

#include "forms/DisplayFit.h"
#include "forms/Layout.h"
#include "platform/WideText.h"
#include "win32/Handles.h"

#include <windows.h>

#include <string>

namespace kpx {
enum class TaskColor;
}

// What the Win32 windows share to draw their layouts: text in UTF-16, twips at the screen's dots
// per inch, the layouts' fonts and colours.
namespace kpx::win32 {

// The title of a window that shows none: an empty one would have the window manager show a name of
// its own ("Unnamed Window").
inline constexpr const wchar_t *NoTitle = L" ";

// The dots per inch the window is laid out at: its monitor's, with per-monitor awareness.
UINT dpiOf(HWND window);

// A layout rectangle in pixels at that many dots per inch, moved by the container's place.
RECT pixels(const forms::Rect &rect, UINT dpi, POINT origin = {0, 0});

// The window rectangle around a client area of these pixels, with this style and menu.
RECT frameAround(RECT client, DWORD style, DWORD exStyle, bool menu, UINT dpi);

// The layout's face, size and weight at that many dots per inch; ANSI character set, not italic.
UniqueFont makeFont(const forms::Font &font, UINT dpi);
// The same at the dots per inch a layout was fitted at, so the text shrinks with its labels.
UniqueFont makeFont(const forms::Font &font, const forms::Fit &fit);

// The size in points, at that many dots per inch, the text is drawn in within a label of that room
// (forms::fitPoints): the font's own wherever the text fits there, otherwise smaller. Measured on `dc`
// as drawCentred draws it: wrapped lines within the room, or one line across it, whose height comes
// with its size (each layout gives a line of its font the room).
double fittedPoints(HDC dc, const forms::Font &font, double dpi, const std::wstring &text, SIZE room, bool wrapped);

// The client area of a window of that style maximized on the monitor it is on: the monitor's work
// area below the title bar (the borders of a maximized window lie beyond the work area).
forms::Rect maximizedClientArea(HWND window, DWORD style, DWORD exStyle, UINT dpi);

// Where the client area of a window of that style may lie on the primary monitor, in screen
// coordinates, for the whole window with its frame to be inside the work area.
forms::Rect clientAreaOnScreen(DWORD style, DWORD exStyle, UINT dpi);

COLORREF toColorRef(forms::Rgb rgb);

// The colour the choice window draws for one of its colours: exact, or the system's button face.
COLORREF colorOf(TaskColor color);

// Text centred in the rectangle from its top, wrapped at its width or on one line; '&' is drawn as it is.
void drawCentred(HDC dc, const RECT &rect, const std::wstring &text, bool wrapped);

} // namespace kpx::win32
