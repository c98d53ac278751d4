#pragma once

#include <chrono>
#include <cstdint>

class QWidget;

// The X server's side of the windows. Elsewhere (Wayland, offscreen) there is nothing to wait for,
// and every call returns at once.
namespace kpx::windowsystem {

// Returns once the X server has handled every request sent so far. A round trip that lets no event
// in: QGuiApplication::sync would dispatch the participant's keys in the middle of a change.
void sync();

// The window manager's frame around a shown top-level window; 0 when it has none.
std::uint32_t frameOf(const QWidget &window);

// Waits, sleeping between looks, until the frame is off the screen, but no longer than atMost.
void waitUntilGone(std::uint32_t frame, std::chrono::milliseconds atMost);

} // namespace kpx::windowsystem
