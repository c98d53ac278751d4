#pragma once

#include <windows.h>

namespace kpx::win32 {

// True for Shift, Control, Alt and the Windows keys: held with a key, never a key press of their own.
inline bool isModifierKey(int virtualKey)
{
    switch (virtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
        return true;
    default:
        return false;
    }
}

// Bit 30 of a key message: the key was already down, so this press is the keyboard's repeat.
inline bool isAutoRepeat(LPARAM flags)
{
    return (flags & (LPARAM(1) << 30)) != 0;
}

} // namespace kpx::win32
