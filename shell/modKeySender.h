// Keys to the window in front on a Wayland desktop, for replacing the selection there. A program
// of a Wayland session sees no other program's windows and cannot type into them; two ways are
// given to it:
//
//   - the virtual-keyboard protocol (zwp_virtual_keyboard_v1: sway, Hyprland, labwc, river, niri,
//     COSMIC): a keyboard of this program's own on the seat, with the user's keymap, so that the
//     windows read its keys as the user's. The same compositors tell which window has the focus
//     (wlr-foreign-toplevel), so a terminal is known;
//   - the desktop portal's remote desktop (org.freedesktop.portal.RemoteDesktop: GNOME, KDE
//     Plasma), which asks the user once and keeps the permission with a restore token.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/modKeymap.h"

namespace litvorot {

class KeySender {
  public:
    virtual ~KeySender() = default;

    // Sees to it that keys can be sent (asking the user first where the desktop wants that, once
    // a run): `done(true)` when they can, `done(false)` when they cannot (the desktop offers no
    // way, the user refused). From the event loop, or at once.
    virtual void Prepare(std::function<void(bool)> done) = 0;

    // Sends `strokes` in their order, after Prepare answered true.
    virtual void Send(const std::vector<KeyStroke>& strokes) = 0;

    // Whether the user's own modifier keys, while held, act on the keys sent here. They do not
    // with a virtual keyboard (the compositor keeps each keyboard's modifiers apart); they do
    // through the portal (one keyboard state for the whole seat), and nothing tells when they are
    // let go.
    virtual bool HeldModifiersJoin() const = 0;

    // The app id (or X11 class) of the window that has the focus, where the desktop tells it:
    // nullopt where it does not, an empty text where no window has the focus.
    virtual std::optional<std::string> FrontApp() const { return std::nullopt; }
};

// The virtual keyboard on the Wayland session that WAYLAND_DISPLAY names, on a connection of its
// own; nullptr where the compositor does not offer it. Needs a QCoreApplication.
std::unique_ptr<KeySender> ConnectVirtualKeyboard();

// The desktop portal's remote desktop (keyboard only), asked at the first Prepare; its restore
// token is kept in `tokenFile` (empty: not kept). Needs a QCoreApplication and the session bus.
std::unique_ptr<KeySender> CreatePortalKeySender(std::filesystem::path tokenFile);

// The way this Wayland session gives: the virtual keyboard where the compositor offers it, else
// the portal. LITVOROT_KEYS=portal (or =virtual-keyboard) in the environment allows only that
// one, for diagnosis.
std::unique_ptr<KeySender> CreateSessionKeySender(std::filesystem::path tokenFile);

}  // namespace litvorot
