// The hot key on Wayland desktops whose desktop portal offers global shortcuts (KDE Plasma,
// GNOME 48 and later): Ctrl+Space is asked for through org.freedesktop.portal.GlobalShortcuts,
// and its activations run the command whatever window is in front. Elsewhere, and when the
// portal refuses, the X11 grab.
#pragma once

#include <memory>

#include "shell/modHotKey.h"

namespace litvorot {

// In a Wayland session (WAYLAND_DISPLAY set) the portal first, then the X11 grab; in an X11
// session the X11 grab alone. Needs the application object to exist.
std::unique_ptr<HotKey> CreateSessionHotKey();

// The portal's hot key alone: RegisterAppHotKey is false where no portal offers global shortcuts
// or it did not bind the key.
std::unique_ptr<HotKey> CreatePortalHotKey();

}  // namespace litvorot
