#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QLoggingCategory>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "clipboard/wayland_pump.h"
#include "shell/modKeySender.h"
#include "shell/modWaylandSeat.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace litvorot {

namespace {

// Silent unless asked for: QT_LOGGING_RULES="litvorot.selection=true".
Q_LOGGING_CATEGORY(lcKeys, "litvorot.selection", QtWarningMsg)

// ---- The connection ----

class SeatConnection final : public WaylandSeat {
  public:
    ~SeatConnection() override {
        pump_.reset();
        if (display_ == nullptr) return;
        for (auto& [handle, window] : windows_) zwlr_foreign_toplevel_handle_v1_destroy(handle);
        if (toplevels_ != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(toplevels_);
        if (keyboard_ != nullptr) wl_keyboard_destroy(keyboard_);
        if (virtualKeyboards_ != nullptr)
            zwp_virtual_keyboard_manager_v1_destroy(virtualKeyboards_);
        if (seat_ != nullptr) wl_seat_destroy(seat_);
        if (registry_ != nullptr) wl_registry_destroy(registry_);
        wl_display_flush(display_);
        wl_display_disconnect(display_);
    }

    bool Connect() {
        display_ = wl_display_connect(nullptr);
        if (display_ == nullptr) return false;
        pump_ = std::make_unique<WaylandPump>(display_, [this](const char* why) { Lose(why); });
        registry_ = wl_display_get_registry(display_);
        static const wl_registry_listener registryListener = {&OnGlobal, &OnGlobalRemove};
        wl_registry_add_listener(registry_, &registryListener, this);
        // The globals, then what binding them sends: the seat's capabilities, the windows.
        if (wl_display_roundtrip(display_) < 0 || seat_ == nullptr) return false;
        return wl_display_roundtrip(display_) >= 0;
    }

    bool Alive() const override { return !pump_->Stopped(); }
    wl_seat* Seat() const override { return seat_; }
    zwp_virtual_keyboard_manager_v1* VirtualKeyboardManager() const override {
        return virtualKeyboards_;
    }
    std::string Keymap() const override { return keymap_; }

    std::optional<std::string> FocusedApp() const override {
        if (toplevels_ == nullptr) return std::nullopt;
        for (const auto& [handle, window] : windows_) {
            if (window.activated) return window.appId;
        }
        return std::string();
    }

    void Catch() override { pump_->Pump(); }
    void Flush() override { pump_->Flush(); }
    void Sync(std::function<void()> done) override { pump_->Sync(std::move(done)); }

  private:
    struct Window {
        std::string appId;
        bool activated = false;
        // What the events since the last done say, taken as a whole at the next done.
        std::string pendingAppId;
        bool pendingActivated = false;
    };

    // The compositor went away, or ended this connection (a protocol error: it refused this
    // program a keyboard). Keys are not sent any more; the clipboard is not concerned.
    void Lose(const char* why) {
        qCInfo(lcKeys) << "the Wayland connection for keys is gone:" << why
                       << std::strerror(wl_display_get_error(display_));
    }

    static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version) {
        auto* self = static_cast<SeatConnection*>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat_ == nullptr) {
            // The first seat, as the clipboard's: desktops have one.
            self->seat_ =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            static const wl_seat_listener seatListener = {&OnCapabilities, nullptr};
            wl_seat_add_listener(self->seat_, &seatListener, self);
        } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
            self->virtualKeyboards_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
        } else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
            self->toplevels_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                                 std::min(version, 3u)));
            static const zwlr_foreign_toplevel_manager_v1_listener managerListener = {
                &OnToplevel, &OnToplevelsFinished};
            zwlr_foreign_toplevel_manager_v1_add_listener(self->toplevels_, &managerListener, self);
        }
    }
    static void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

    // ---- The seat's keymap: every window's, so the one the keys are looked up in ----

    static void OnCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
        auto* self = static_cast<SeatConnection*>(data);
        if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) == 0 || self->keyboard_ != nullptr) return;
        self->keyboard_ = wl_seat_get_keyboard(seat);
        static const wl_keyboard_listener keyboardListener = {
            &OnKeymap,
            [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
            [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
            [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
            [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
               std::uint32_t) {},
            nullptr};
        wl_keyboard_add_listener(self->keyboard_, &keyboardListener, self);
    }

    // Sent on the keyboard's making and whenever the seat's keyboard changes: the compositor hands
    // every client the keymap of the keyboard last used.
    static void OnKeymap(void* data, wl_keyboard*, std::uint32_t format, int fd,
                         std::uint32_t size) {
        auto* self = static_cast<SeatConnection*>(data);
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
            void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED) {
                const char* text = static_cast<const char*>(map);
                self->keymap_.assign(text, strnlen(text, size));
                ::munmap(map, size);
            }
        }
        ::close(fd);
    }

    // ---- The windows, to know the one in front ----

    static void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* handle) {
        auto* self = static_cast<SeatConnection*>(data);
        self->windows_[handle];
        static const zwlr_foreign_toplevel_handle_v1_listener handleListener = {
            [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},
            [](void* owner, zwlr_foreign_toplevel_handle_v1* window, const char* appId) {
                static_cast<SeatConnection*>(owner)->windows_[window].pendingAppId = appId;
            },
            [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
            [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
            &OnState,
            [](void* owner, zwlr_foreign_toplevel_handle_v1* done) {
                Window& window = static_cast<SeatConnection*>(owner)->windows_[done];
                window.appId = window.pendingAppId;
                window.activated = window.pendingActivated;
            },
            [](void* owner, zwlr_foreign_toplevel_handle_v1* closed) {
                static_cast<SeatConnection*>(owner)->windows_.erase(closed);
                zwlr_foreign_toplevel_handle_v1_destroy(closed);
            },
            [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}};
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, self);
    }

    static void OnState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
        bool activated = false;
        const auto* state = static_cast<const std::uint32_t*>(states->data);
        for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
            if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) activated = true;
        }
        static_cast<SeatConnection*>(data)->windows_[handle].pendingActivated = activated;
    }

    static void OnToplevelsFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
        auto* self = static_cast<SeatConnection*>(data);
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        self->toplevels_ = nullptr;
    }

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    zwp_virtual_keyboard_manager_v1* virtualKeyboards_ = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevels_ = nullptr;
    std::map<zwlr_foreign_toplevel_handle_v1*, Window> windows_;
    std::string keymap_;
    std::unique_ptr<WaylandPump> pump_;
};

// ---- The virtual keyboard ----

class VirtualKeyboard final : public KeySender {
  public:
    explicit VirtualKeyboard(std::unique_ptr<WaylandSeat> seat) : seat_(std::move(seat)) {}
    ~VirtualKeyboard() override {
        if (keyboard_ != nullptr && seat_->Alive()) {
            zwp_virtual_keyboard_v1_destroy(keyboard_);
            seat_->Flush();
        }
    }

    void Prepare(std::function<void(bool)> done) override {
        seat_->Catch();
        if (!seat_->Alive()) return done(false);
        if (keyboard_ == nullptr) {
            keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
                seat_->VirtualKeyboardManager(), seat_->Seat());
        }
        // The keymap is the seat's, whichever keyboard the user typed on last: the windows take
        // the keys of this keyboard with its keymap, and a keymap of its own would change their
        // layout (a keymap that holds only the keys sent leaves the shortcuts of many programs
        // unmatched). A seat whose last keyboard was another program's virtual one with such a
        // keymap, or that has had none, gets the user's default layout instead.
        std::string keymap = seat_->Keymap();
        std::optional<KeymapKeys> keys = LookUpKeys(keymap);
        if (!keys) {
            keymap = DefaultKeymap();
            keys = LookUpKeys(keymap);
        }
        if (!keys) {
            qCInfo(lcKeys) << "no keymap has the keys to send";
            return done(false);
        }
        keys_ = *keys;
        if (keymap != uploaded_ && !Upload(keymap)) return done(false);
        // A compositor that refuses this program a keyboard ends the connection: known once it
        // has answered.
        seat_->Sync([this, done = std::move(done)] { done(seat_->Alive()); });
    }

    void Send(const std::vector<KeyStroke>& strokes) override {
        if (keyboard_ == nullptr || !seat_->Alive()) return;
        // The modifiers are stated with every change as well as pressed: the keyboard's own state
        // is what the windows are told, in the layout the letters were found in. Nothing is held
        // before the first key: the user's held keys are on another keyboard, kept apart.
        std::uint32_t held = 0;
        zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, 0, keys_.layout);
        for (const KeyStroke& stroke : strokes) {
            zwp_virtual_keyboard_v1_key(
                keyboard_, Now(), keys_.Code(stroke.key),
                stroke.press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
            const std::uint32_t mask = stroke.key == Key::kControl ? keys_.controlMask
                                       : stroke.key == Key::kShift ? keys_.shiftMask
                                                                   : 0;
            if (mask == 0) continue;
            held = stroke.press ? held | mask : held & ~mask;
            zwp_virtual_keyboard_v1_modifiers(keyboard_, held, 0, 0, keys_.layout);
        }
        seat_->Flush();
    }

    bool HeldModifiersJoin() const override { return false; }

    std::optional<std::string> FrontApp() const override {
        seat_->Catch();
        return seat_->FocusedApp();
    }

  private:
    // Hands `keymap` to the compositor through a file of its own in memory, NUL-terminated as
    // wl_keyboard.keymap's are.
    bool Upload(const std::string& keymap) {
        const int fd = ::memfd_create("litvorot-keymap", MFD_CLOEXEC);
        if (fd < 0) return false;
        const std::size_t size = keymap.size() + 1;
        bool written = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
        std::size_t done = 0;
        while (written && done < keymap.size()) {
            const ssize_t n = ::write(fd, keymap.data() + done, keymap.size() - done);
            if (n < 0 && errno == EINTR) continue;
            written = n > 0;
            if (written) done += static_cast<std::size_t>(n);
        }
        if (written) {
            zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                           static_cast<std::uint32_t>(size));
            uploaded_ = keymap;
        }
        ::close(fd);
        return written;
    }

    static std::uint32_t Now() {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }

    std::unique_ptr<WaylandSeat> seat_;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    std::string uploaded_;
    KeymapKeys keys_;
};

}  // namespace

std::unique_ptr<WaylandSeat> ConnectWaylandSeat() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0') return nullptr;
    auto seat = std::make_unique<SeatConnection>();
    if (!seat->Connect()) return nullptr;
    return seat;
}

std::unique_ptr<KeySender> ConnectVirtualKeyboard() {
    std::unique_ptr<WaylandSeat> seat = ConnectWaylandSeat();
    if (!seat || seat->VirtualKeyboardManager() == nullptr) return nullptr;
    qCInfo(lcKeys) << "keys through the virtual-keyboard protocol";
    return std::make_unique<VirtualKeyboard>(std::move(seat));
}

std::unique_ptr<KeySender> CreateSessionKeySender(std::filesystem::path tokenFile) {
    const char* only = std::getenv("LITVOROT_KEYS");
    const std::string forced = only != nullptr ? only : "";
    if (forced != "portal") {
        if (auto keys = ConnectVirtualKeyboard()) return keys;
    }
    if (forced == "virtual-keyboard") return nullptr;
    return CreatePortalKeySender(std::move(tokenFile));
}

}  // namespace litvorot
