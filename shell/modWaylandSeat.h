// A connection of this program's own to the Wayland session, for what sending keys needs of it:
// the seat's keymap (the user's layout, as every window gets it), the virtual-keyboard manager
// and the windows' states (wlr-foreign-toplevel) where the compositor offers them. Used by both
// key senders of modKeySender.h; not a part of the clipboard's connection, so that a protocol
// error here (a compositor that refuses this program a keyboard) ends only this connection.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;

namespace litvorot {

class WaylandSeat {
  public:
    virtual ~WaylandSeat() = default;

    virtual bool Alive() const = 0;
    virtual wl_seat* Seat() const = 0;
    // nullptr where the compositor does not offer it.
    virtual zwp_virtual_keyboard_manager_v1* VirtualKeyboardManager() const = 0;

    // The seat's keymap as the compositor last handed it to this connection's keyboard (XKB's
    // text format); empty while the seat has had no keyboard.
    virtual std::string Keymap() const = 0;
    // The app id of the window that has the focus (an empty text: none), or nullopt where the
    // compositor does not tell.
    virtual std::optional<std::string> FocusedApp() const = 0;

    // Takes in the events already waiting, without waiting for more: the focus and the keymap as
    // they are now, not as of the last turn of the event loop.
    virtual void Catch() = 0;
    // Sends the requests made so far.
    virtual void Flush() = 0;
    // `done` once the compositor has answered a round trip (or the connection is gone).
    virtual void Sync(std::function<void()> done) = 0;
};

// The session WAYLAND_DISPLAY names; nullptr where there is none or it has no seat. Needs a
// QCoreApplication: events are taken in from Qt's event loop.
std::unique_ptr<WaylandSeat> ConnectWaylandSeat();

}  // namespace litvorot
