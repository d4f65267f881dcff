// The Wayland clipboard through the compositor's data-control protocol: ext_data_control_v1
// (wayland-protocols; KDE Plasma 6.5 offers only it, wlroots 0.19 compositors and COSMIC both),
// else wlroots' zwlr_data_control_v1 (sway, Hyprland, Wayfire, older Plasma). It needs no window
// and no focus, so it works whatever native Wayland window is in front. Compositors with neither
// (GNOME) use the X11 clipboard through XWayland instead.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "clipboard/Clipboard.h"

namespace litvorot {

// The data-control connection: the selection and the primary selection of the first seat, read
// and set from Qt's event loop. Everything answers from the event loop; nothing waits for the
// compositor or another program on the user-interface thread.
class WaylandDataControl {
  public:
    enum class Protocol { kExt, kWlr };
    enum class Selection { kClipboard, kPrimary };
    // One format: its MIME type and its bytes.
    using Format = std::pair<std::string, std::shared_ptr<const std::string>>;

    struct Received {
        enum class Result { kDone, kNoAnswer, kTooLarge, kFailed } result = Result::kFailed;
        std::string bytes;
    };

    virtual ~WaylandDataControl() = default;

    virtual Protocol Used() const = 0;
    // The MIME types of `selection` as another program offers it; empty when there is none, or
    // when it is this program's own (then Owned() is true).
    virtual std::vector<std::string> Types(Selection selection) const = 0;
    virtual bool Owned(Selection selection) const = 0;

    // Receives `type` of `selection` through a pipe: `done` once the owner has closed it, or
    // after `idle` without bytes or `total` in all (kNoAnswer), or past `maxBytes` (kTooLarge).
    // One at a time; a new one gives up the one that waits.
    virtual void Receive(Selection selection, const std::string& type,
                         std::chrono::milliseconds idle, std::chrono::milliseconds total,
                         std::size_t maxBytes, std::function<void(Received)> done) = 0;
    virtual void AbandonReceive() = 0;

    // Makes `selection` this program's, serving `formats`; `sent(type)` after each reader has
    // taken `type` whole. False when there is no connection.
    virtual bool Serve(Selection selection, std::vector<Format> formats,
                       std::function<void(const std::string& type)> sent = {}) = 0;
    // Empties `selection` (no owner).
    virtual void Clear(Selection selection) = 0;

    // Another program set `selection` (or emptied it), or took this program's.
    virtual void WatchSelection(std::function<void(Selection)> changed) = 0;
    // The connection or the protocol went away (the compositor restarted, or withdrew it).
    virtual void WatchLoss(std::function<void()> lost) = 0;
    virtual bool Alive() const = 0;
};

// The data-control connection of the Wayland session that WAYLAND_DISPLAY names, or nullptr when
// there is none or its compositor offers neither protocol: ext_data_control_v1 where offered,
// else zwlr_data_control_v1 (LITVOROT_DATA_CONTROL=wlr or =ext in the environment allows only
// that one, for diagnosis). Needs a QCoreApplication.
std::unique_ptr<WaylandDataControl> ConnectWaylandDataControl();

// Whether the Wayland session that WAYLAND_DISPLAY names offers data-control (either protocol):
// asked before the toolkit starts, to choose how the program runs. No Qt needed.
bool WaylandOffersDataControl();

// The program's clipboard on the Wayland session's data-control connection, or nullptr as above.
std::unique_ptr<Clipboard> ConnectWaylandClipboard();

// The clipboard of a Wayland session: `wayland` (from ConnectWaylandClipboard) while data-control
// lasts. When the compositor restarts or withdraws it, `x11` (XWayland's clipboard; nullptr:
// none) takes over at once, and data-control is connected again as soon as it is back.
std::unique_ptr<Clipboard> SessionClipboard(std::unique_ptr<Clipboard> wayland,
                                            std::unique_ptr<Clipboard> x11);

}  // namespace litvorot
