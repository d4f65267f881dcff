// Whether the tray program has a display to run on. Its windows, tray icon and hot key are X11
// ones (under Wayland through XWayland); without an X server Qt would abort.
#pragma once

#include <string>

namespace litvorot {

// Empty when an X server accepts a connection (the one DISPLAY names); otherwise the one message
// to show the user, which says what to do.
std::string CheckX11Display();

}  // namespace litvorot
