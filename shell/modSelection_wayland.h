// Replacing the selection in a Wayland session whose compositor offers data-control (sway,
// Hyprland, labwc, niri, COSMIC, KDE Plasma): the clipboard kept, watched, served and put back
// on a data-control connection of this desktop's own, the keys through a KeySender (the virtual
// keyboard, or the remote desktop portal), the window in front where the compositor names it.
#pragma once

#include <functional>
#include <memory>

#include "shell/modKeySender.h"
#include "shell/modSelection.h"

namespace litvorot {

// `keys` may be nullptr (no way to send keys here); `reportKeys(available)` is called at each
// replacement with whether keys can be sent, so that the user is told, once, when they cannot.
// nullptr when there is no data-control connection. Needs a QCoreApplication.
std::unique_ptr<SelectionDesktop> ConnectWaylandSelectionDesktop(
    std::unique_ptr<KeySender> keys, std::function<void(bool available)> reportKeys);

}  // namespace litvorot
