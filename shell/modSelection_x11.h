// Replacing the selection on X11 (and in XWayland windows): the window in front from the window
// manager's _NET_ACTIVE_WINDOW, keys through XTEST, the clipboard's signals through XFixes, and
// the clipboard kept, served and put back from a window of this program's own connection.
#pragma once

#include <memory>

#include "shell/modSelection.h"

namespace litvorot {

// The X11 desktop's side of replacing the selection, on a connection of its own to the display
// DISPLAY names; nullptr when there is none or it lacks XTEST or XFixes. Needs a
// QCoreApplication: it answers from Qt's event loop.
std::unique_ptr<SelectionDesktop> ConnectX11SelectionDesktop();

// True for the window classes of terminals, which copy with Ctrl+Shift+C and paste with
// Ctrl+Shift+V (compared without regard to case).
bool IsTerminalClass(std::string_view windowClass);

}  // namespace litvorot
