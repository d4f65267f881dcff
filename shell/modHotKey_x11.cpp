// The global hot key on X11: passive key grabs on the root window through Qt's own xcb
// connection, seen by a native event filter. The grab is by key code, so it works whatever
// keyboard layout (group) is active; it is repeated for CapsLock and NumLock, so that the lock
// keys do not matter.
#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMetaObject>
#include <cstdlib>
#include <memory>
#include <vector>

#include "shell/modHotKey.h"

namespace litvorot {
namespace {

// Silent unless asked for: QT_LOGGING_RULES="litvorot.hotkey=true".
Q_LOGGING_CATEGORY(lcHotKey, "litvorot.hotkey", QtWarningMsg)

xcb_keysym_t KeySymForKey(std::uint32_t key) {
    if (key == kKeySpace) return XK_space;
    if (key == kKeyPause) return XK_Pause;
    if (key >= '0' && key <= '9') return XK_0 + (key - '0');
    if (key >= 'A' && key <= 'Z') return XK_a + (key - 'A');
    return XCB_NO_SYMBOL;
}

std::uint16_t ModMaskFor(std::uint32_t modifiers) {
    std::uint16_t mask = 0;
    if (modifiers & kModAlt) mask |= XCB_MOD_MASK_1;
    if (modifiers & kModControl) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & kModShift) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & kModWin) mask |= XCB_MOD_MASK_4;
    return mask;
}

// The modifier bit that NumLock sets, from the server's modifier map (Mod2 on most keymaps).
std::uint16_t NumLockMask(xcb_connection_t* connection, xcb_key_symbols_t* symbols) {
    std::uint16_t mask = 0;
    xcb_keycode_t* numLock = xcb_key_symbols_get_keycode(symbols, XK_Num_Lock);
    xcb_get_modifier_mapping_reply_t* reply =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (reply != nullptr && numLock != nullptr) {
        const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(reply);
        const int perModifier = reply->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = map[modifier * perModifier + i];
                if (code == XCB_NO_SYMBOL) continue;
                for (const xcb_keycode_t* k = numLock; *k != XCB_NO_SYMBOL; ++k) {
                    if (*k == code) mask = static_cast<std::uint16_t>(1u << modifier);
                }
            }
        }
    }
    std::free(reply);
    std::free(numLock);
    return mask;
}

class X11HotKey final : public HotKey, public QAbstractNativeEventFilter {
  public:
    ~X11HotKey() override { UnregisterAppHotKey(); }

    bool RegisterAppHotKey(std::uint32_t modifiers, std::uint32_t key, Handler onPress) override {
        if (registered_) return false;
        registered_ = true;
        handler_ = std::move(onPress);
        // The filter is in place even when the grab is refused, like a replaced window procedure.
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering_ = true;

        auto* x11 = qGuiApp != nullptr
                        ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                        : nullptr;
        const xcb_keysym_t keysym = KeySymForKey(key);
        if (x11 == nullptr || x11->connection() == nullptr || keysym == XCB_NO_SYMBOL) {
            return false;
        }
        connection_ = x11->connection();
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        modifiers_ = ModMaskFor(modifiers);

        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
        if (symbols == nullptr) return false;
        numLockMask_ = NumLockMask(connection_, symbols);
        if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym)) {
            for (const xcb_keycode_t* k = codes; *k != XCB_NO_SYMBOL; ++k) keyCodes_.push_back(*k);
            std::free(codes);
        }
        xcb_key_symbols_free(symbols);

        const std::uint16_t locks[] = {
            0, XCB_MOD_MASK_LOCK, numLockMask_,
            static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLockMask_)};
        std::vector<std::uint16_t> variants;
        for (std::uint16_t lock : locks) {
            bool seen = false;
            for (std::uint16_t v : variants) seen = seen || v == (modifiers_ | lock);
            if (!seen) variants.push_back(static_cast<std::uint16_t>(modifiers_ | lock));
        }
        bool allGranted = !keyCodes_.empty();
        for (xcb_keycode_t code : keyCodes_) {
            for (std::uint16_t mods : variants) {
                // owner_events 0: the press and the release both come to the root window.
                xcb_void_cookie_t cookie = xcb_grab_key_checked(
                    connection_, 0, root_, mods, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
                    allGranted = false;  // BadAccess: another program holds it
                    std::free(error);
                } else {
                    grabs_.push_back({code, mods});
                }
            }
        }
        xcb_flush(connection_);
        if (!allGranted) {
            qCInfo(lcHotKey) << "the key grab was refused: another program holds the key"
                             << (keyCodes_.empty() ? "(or the keyboard has no such key)" : "");
        }
        return allGranted;
    }

    void UnregisterAppHotKey() override {
        if (filtering_) {
            if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
            filtering_ = false;
        }
        if (connection_ != nullptr && !grabs_.empty()) {
            for (const Grab& grab : grabs_) {
                xcb_ungrab_key(connection_, grab.code, root_, grab.modifiers);
            }
            xcb_flush(connection_);
        }
        grabs_.clear();
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (connection_ == nullptr || eventType != "xcb_generic_event_t") return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        const std::uint8_t type = event->response_type & 0x7f;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
        // Press and release have the same layout.
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        if (key->event != root_ || !IsOurKeyCode(key->detail)) return false;
        // A release ends the key being held, whatever modifiers are still down: xdotool and
        // users alike may let go of Ctrl first.
        if (type == XCB_KEY_RELEASE) {
            qCDebug(lcHotKey) << "release" << key->time;
            down_ = false;
            lastRelease_ = key->time;
            return true;
        }
        // Auto-repeat of a key held down: with the server's detectable auto-repeat (Qt asks for
        // it) a press without a release between; without it a release and a press carrying the
        // same time stamp.
        const bool repeat = down_ || (lastRelease_ != 0 && key->time == lastRelease_);
        qCDebug(lcHotKey) << "press" << key->time << (repeat ? "(auto-repeat)" : "");
        down_ = true;
        const std::uint16_t ignored = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLockMask_);
        const std::uint16_t relevant = static_cast<std::uint16_t>(0xff & ~ignored);
        if ((key->state & relevant) != modifiers_) return true;
        // Every press counts, auto-repeat included, but a repeat is not posted while another
        // waits to run: a held key against a busy program adds one press, not a backlog. The
        // command runs after the event has been delivered, in the order of the presses.
        if (!handler_ || (repeat && repeatPosted_)) return true;
        repeatPosted_ = repeatPosted_ || repeat;
        const std::weak_ptr<int> alive = alive_;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, alive, repeat] {
                if (alive.expired()) return;
                if (repeat) repeatPosted_ = false;
                pressIsRepeat_ = repeat;
                const Handler handler = handler_;
                if (handler) handler();
                if (!alive.expired()) pressIsRepeat_ = false;
            },
            Qt::QueuedConnection);
        return true;
    }

    bool PressIsRepeat() const override { return pressIsRepeat_; }

  private:
    struct Grab {
        xcb_keycode_t code;
        std::uint16_t modifiers;
    };

    bool IsOurKeyCode(xcb_keycode_t code) const {
        for (xcb_keycode_t k : keyCodes_) {
            if (k == code) return true;
        }
        return false;
    }

    bool registered_ = false;
    bool filtering_ = false;
    Handler handler_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool down_ = false;  // the key is held (pressed, not yet released)
    xcb_timestamp_t lastRelease_ = 0;
    bool repeatPosted_ = false;   // a repeat waits in the event queue
    bool pressIsRepeat_ = false;  // while the handler runs
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    std::uint16_t modifiers_ = 0;
    std::uint16_t numLockMask_ = 0;
    std::vector<xcb_keycode_t> keyCodes_;
    std::vector<Grab> grabs_;
};

}  // namespace

std::unique_ptr<HotKey> CreateAppHotKey() { return std::make_unique<X11HotKey>(); }

}  // namespace litvorot
