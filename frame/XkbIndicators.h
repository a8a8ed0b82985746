#pragma once

#include "frame/LockKeyState.h"

#include <optional>

// The lock states the X server shows on the keyboard's indicators. Only built
// where Xlib is available; answers nothing when the application does not run
// on X11 (Wayland, offscreen).
namespace XkbIndicators {

bool available();
std::optional<LockKeyState::Locks> read();

} // namespace XkbIndicators
