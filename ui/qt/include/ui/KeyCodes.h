#pragma once

namespace kpx {

// The platform virtual-key code of a Qt key (arrows, space, letters, digits); 0 for any other key.
int virtualKeyCode(int qtKey);

// True for Shift, Control, Alt and the like: held with a key, never a key press of their own.
bool isModifierKey(int qtKey);

} // namespace kpx
