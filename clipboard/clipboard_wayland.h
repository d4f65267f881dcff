// The Wayland clipboard through the compositor's data-control protocol (wlroots' data-control:
// sway, Hyprland, Wayfire, KDE Plasma). It needs no window and no focus, so it works whatever
// native Wayland window is in front. Compositors without it (GNOME) use the X11 clipboard
// through XWayland instead.
#pragma once

#include <memory>

#include "clipboard/Clipboard.h"

namespace litvorot {

// The clipboard of the Wayland session that WAYLAND_DISPLAY names, or nullptr when there is none
// or its compositor lacks data-control. Needs a QCoreApplication: the program serves the text it
// puts on the clipboard from Qt's event loop.
std::unique_ptr<Clipboard> ConnectWaylandClipboard();

}  // namespace litvorot
