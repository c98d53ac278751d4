#pragma once

#include <windows.h>

namespace kpx::win32 {

// One window class per Derived: the window procedure finds the object the window was created for
// (stored at WM_NCCREATE) and hands it every message; Derived answers them in handleMessage.
template <class Derived>
class BaseWindow
{
public:
    BaseWindow() = default;
    virtual ~BaseWindow()
    {
        if (m_window) {
            // The window outlives no object: its messages would find a destroyed one.
            SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
            DestroyWindow(m_window);
        }
    }
    BaseWindow(const BaseWindow &) = delete;
    BaseWindow &operator=(const BaseWindow &) = delete;

    HWND window() const { return m_window; }

protected:
    // Creates the window of Derived's class (registered on first use, named Derived::ClassName).
    bool create(DWORD style, DWORD exStyle, const wchar_t *title, int x, int y, int width, int height,
                HWND owner = nullptr, HMENU menu = nullptr)
    {
        static const ATOM registered = [] {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.style = Derived::ClassStyle;
            windowClass.lpfnWndProc = &BaseWindow::procedure;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
            windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            windowClass.lpszClassName = Derived::ClassName;
            return RegisterClassExW(&windowClass);
        }();
        if (!registered)
            return false;
        CreateWindowExW(exStyle, Derived::ClassName, title, style, x, y, width, height, owner, menu,
                        GetModuleHandleW(nullptr), this);
        return m_window != nullptr;
    }

    // Every message of the window, once it knows its object.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcW(m_window, message, wParam, lParam);
    }

    static constexpr UINT ClassStyle = CS_DBLCLKS;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        BaseWindow *self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<BaseWindow *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
            self->m_window = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<BaseWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        }
        if (!self)
            return DefWindowProcW(window, message, wParam, lParam);
        return self->handleMessage(message, wParam, lParam);
    }

    HWND m_window = nullptr;
};

} // namespace kpx::win32
