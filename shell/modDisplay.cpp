#include "shell/modDisplay.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace litvorot {

std::string CheckX11Display() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool onWayland = wayland != nullptr && *wayland != '\0';
    const char* hint = onWayland
                           ? "This is a Wayland session without XWayland, and its compositor "
                             "offers no data-control protocol for the clipboard: Litvorot needs "
                             "one of the two (install the xwayland package, or enable XWayland in "
                             "the compositor's settings) and must be started inside the session."
                           : "Start Litvorot from inside a desktop session.";
    if (display == nullptr || *display == '\0') {
        return std::string("litvorot: no X server to connect to (DISPLAY is not set). ") + hint;
    }
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (error == 0) return {};
    return std::string("litvorot: cannot connect to the X server on DISPLAY=") + display + ". " +
           hint;
}

}  // namespace litvorot
