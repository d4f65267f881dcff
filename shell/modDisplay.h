// Whether the tray program has an X server to run on (under Wayland XWayland). Without one it runs
// natively on Wayland where the compositor offers data-control, else it cannot run.
#pragma once

#include <string>

namespace litvorot {

// Empty when an X server accepts a connection (the one DISPLAY names); otherwise the one message
// to show the user, which says what to do.
std::string CheckX11Display();

}  // namespace litvorot
