#pragma once

#include <windows.h>

#include <utility>

namespace kpx::win32 {

// Owns one handle and releases it with Close when it goes.
template <class Handle, auto Close, Handle Empty = Handle{}>
class Owned
{
public:
    Owned() = default;
    explicit Owned(Handle handle)
        : m_handle(handle)
    {
    }
    ~Owned() { reset(); }

    Owned(Owned &&other) noexcept
        : m_handle(std::exchange(other.m_handle, Empty))
    {
    }
    Owned &operator=(Owned &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_handle, Empty));
        return *this;
    }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Empty; }

    void reset(Handle handle = Empty)
    {
        if (m_handle != Empty)
            Close(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = Empty;
};

inline void closeHandle(HANDLE handle)
{
    CloseHandle(handle);
}

template <class Object>
void deleteObject(Object object)
{
    DeleteObject(object);
}

inline void deleteDC(HDC dc)
{
    DeleteDC(dc);
}

inline void destroyMenu(HMENU menu)
{
    DestroyMenu(menu);
}

// A kernel object: an event, a waitable timer.
using UniqueHandle = Owned<HANDLE, closeHandle>;
using UniqueFont = Owned<HFONT, deleteObject<HFONT>>;
using UniqueBrush = Owned<HBRUSH, deleteObject<HBRUSH>>;
using UniqueBitmap = Owned<HBITMAP, deleteObject<HBITMAP>>;
using UniqueRegion = Owned<HRGN, deleteObject<HRGN>>;
using UniqueDC = Owned<HDC, deleteDC>;

// A window's device context, released when it goes.
class WindowDC
{
public:
    explicit WindowDC(HWND window)
        : m_window(window)
        , m_dc(GetDC(window))
    {
    }
    ~WindowDC() { ReleaseDC(m_window, m_dc); }
    WindowDC(const WindowDC &) = delete;
    WindowDC &operator=(const WindowDC &) = delete;

    HDC get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// An object selected into a device context for the scope, the old one put back at its end.
class Selected
{
public:
    Selected(HDC dc, HGDIOBJ object)
        : m_dc(dc)
        , m_old(SelectObject(dc, object))
    {
    }
    ~Selected() { SelectObject(m_dc, m_old); }
    Selected(const Selected &) = delete;
    Selected &operator=(const Selected &) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

} // namespace kpx::win32
