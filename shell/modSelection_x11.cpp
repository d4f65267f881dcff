#include "shell/modSelection_x11.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace litvorot {

namespace {

// Silent unless asked for: QT_LOGGING_RULES="litvorot.selection=true".
Q_LOGGING_CATEGORY(lcSelection, "litvorot.selection", QtWarningMsg)

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter<T>>;

// Terminals by their WM_CLASS class (or instance) name, in lower case. They copy and paste with
// Ctrl+Shift+C and Ctrl+Shift+V, as Ctrl+C and Ctrl+V go to the program running in them.
constexpr std::string_view kTerminalClasses[] = {
    "alacritty",
    "cool-retro-term",
    "deepin-terminal",
    "foot",
    "footclient",
    "gnome-terminal",
    "gnome-terminal-server",
    "guake",
    "kgx",
    "kitty",
    "konsole",
    "lxterminal",
    "mate-terminal",
    "org.gnome.console",
    "qterminal",
    "roxterm",
    "sakura",
    "st",
    "st-256color",
    "terminator",
    "terminology",
    "termite",
    "tilda",
    "tilix",
    "urxvt",
    "wezterm",
    "org.wezfurlong.wezterm",
    "x-terminal-emulator",
    "xfce4-terminal",
    "rxvt",
    "eterm",
    "terminal",
};

// Formats that are questions about a selection, not its content: never kept or put back.
constexpr const char* kMetaTargets[] = {
    "TARGETS",      "MULTIPLE",         "TIMESTAMP",       "DELETE",
    "SAVE_TARGETS", "INSERT_SELECTION", "INSERT_PROPERTY", "_GTK_CLIPBOARD_STATE"};

// Data served by INCR beyond this size, in pieces of it.
constexpr std::size_t kIncrPiece = std::size_t{256} << 10;
// Modifiers are looked at this often while the sequence waits for them to be let go.
constexpr int kModifierPollMs = 10;
// How long the window in front has to fetch the pasted text once another client has.
constexpr std::chrono::milliseconds kOtherFetchGrace{1000};

// One format of a selection: its name (target), the type and unit of its data, and the data.
struct Format {
    xcb_atom_t target = XCB_ATOM_NONE;
    xcb_atom_t type = XCB_ATOM_NONE;
    std::uint8_t unit = 8;  // bits: 8, 16 or 32
    std::shared_ptr<const std::string> data;
};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

class X11SelectionDesktop final : public SelectionDesktop {
  public:
    X11SelectionDesktop(std::unique_ptr<KeySender> keys, std::function<void(bool)> reportKeys)
        : keys_(std::move(keys)), reportKeys_(std::move(reportKeys)) {}
    ~X11SelectionDesktop() override {
        notifier_.reset();
        if (symbols_ != nullptr) xcb_key_symbols_free(symbols_);
        if (c_ != nullptr) xcb_disconnect(c_);
    }

    bool Connect() {
        c_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c_)) return false;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c_, &xcb_xfixes_id);
        const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(c_, &xcb_test_id);
        if (xfixes == nullptr || !xfixes->present || xtest == nullptr || !xtest->present) {
            return false;
        }
        XcbReply<xcb_xfixes_query_version_reply_t> version(
            xcb_xfixes_query_version_reply(c_, xcb_xfixes_query_version(c_, 5, 0), nullptr));
        if (!version) return false;
        xfixesEvent_ = xfixes->first_event;
        symbols_ = xcb_key_symbols_alloc(c_);
        clipboard_ = Atom("CLIPBOARD");
        targets_ = Atom("TARGETS");
        timestamp_ = Atom("TIMESTAMP");
        incr_ = Atom("INCR");
        utf8_ = Atom("UTF8_STRING");
        secret_ = Atom(kSecretFormat);
        activeWindow_ = Atom("_NET_ACTIVE_WINDOW");
        property_ = Atom("LITVOROT_SELECTION");
        for (const char* name : {"text/plain;charset=utf-8", "text/plain", "TEXT"}) {
            textTargets_.push_back(Atom(name));
        }
        for (const char* name : kMetaTargets) metaTargets_.push_back(Atom(name));

        resourceMask_ = xcb_get_setup(c_)->resource_id_mask;
        window_ = xcb_generate_id(c_);
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &events);
        xcb_xfixes_select_selection_input(
            c_, window_, clipboard_,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(c_);
        notifier_ =
            std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { Drain(); });
        wait_.setSingleShot(true);
        QObject::connect(&wait_, &QTimer::timeout, &wait_, [this] { TimedOut(); });
        poll_.setInterval(kModifierPollMs);
        QObject::connect(&poll_, &QTimer::timeout, &poll_, [this] { PollModifiers(); });
        for (xcb_keysym_t sym :
             {XK_Shift_L, XK_Shift_R, XK_Control_L, XK_Control_R, XK_Alt_L, XK_Alt_R, XK_Meta_L,
              XK_Meta_R, XK_Super_L, XK_Super_R, XK_ISO_Level3_Shift}) {
            if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_, sym)) {
                for (xcb_keycode_t* k = codes; *k != XCB_NO_SYMBOL; ++k)
                    modifierKeys_.push_back(*k);
                std::free(codes);
            }
        }
        return true;
    }

    // ---- The window in front ----

    FrontWindow Front() override {
        FrontWindow front;
        xcb_window_t window = ActiveWindow();
        frontWindow_ = window;
        // In a Wayland session (GNOME) no X11 window active means a Wayland window has the
        // focus, which the keys of `keys_` reach; it is not named, so it may be a terminal.
        if (!FrontKnown() && keys_) {
            front.exists = true;
            qCInfo(lcSelection) << "the window in front is a Wayland window";
            return front;
        }
        if (window == XCB_WINDOW_NONE) return front;
        front.exists = true;
        const auto [instance, windowClass] = WindowClass(window);
        front.name = windowClass.empty() ? instance : windowClass;
        front.terminal = IsTerminalClass(instance) || IsTerminalClass(windowClass);
        qCInfo(lcSelection) << "the window in front is of class" << front.name.c_str()
                            << (front.terminal ? "(a terminal)" : "");
        return front;
    }

    // XTEST reaches the X11 windows; a Wayland window gets its keys through `keys_`, asked for
    // (the desktop's question) only then.
    void PrepareKeys(std::function<void(bool)> done) override {
        useKeys_ = false;
        if (FrontKnown() || !keys_) return done(true);
        keys_->Prepare([this, done = std::move(done)](bool ready) {
            useKeys_ = ready;
            if (reportKeys_) reportKeys_(ready);
            done(ready);
        });
    }

    // ---- Modifiers ----

    void WaitForModifiersUp(std::chrono::milliseconds limit,
                            std::function<void(bool)> done) override {
        modifiersDone_ = std::move(done);
        modifiersDeadline_.start();
        modifiersLimit_ = static_cast<int>(limit.count());
        PollModifiers();
        if (modifiersDone_) poll_.start();
    }

    // ---- Keeping the clipboard ----

    void KeepClipboard(std::function<void(bool)> done) override {
        kept_.clear();
        keptOwned_ = false;
        keptBytes_ = 0;
        pasted_ = false;
        keepDone_ = std::move(done);
        const xcb_window_t owner = Owner();
        if (owner == XCB_WINDOW_NONE) {  // an empty clipboard is kept as empty
            keptOwned_ = false;
            return FinishKeep(true);
        }
        keptOwned_ = true;
        if (owner == window_) {  // what this connection serves already
            kept_ = serving_;
            return FinishKeep(true);
        }
        stage_ = Stage::kKeepTargets;
        Ask(targets_, kKeepFormatLimit);
    }

    void DropKeptClipboard() override {
        kept_.clear();
        keptOwned_ = false;
        keptBytes_ = 0;
    }

    // ---- Copy ----

    void Copy(const FrontWindow& window, std::chrono::milliseconds limit,
              std::function<void(bool)> done) override {
        // Every owner change the server made before the keys is read off first, so that only a
        // change after them counts as the copy.
        Sync();
        ownerChanged_ = false;
        copyDone_ = std::move(done);
        stage_ = Stage::kCopy;
        SendStrokes(CopyKeys(window.terminal, FrontKnown()));
        wait_.start(static_cast<int>(limit.count()));
    }

    // ---- Paste ----

    void Paste(const FrontWindow& window, std::u16string_view text, std::chrono::milliseconds limit,
               std::function<void(PasteResult)> done) override {
        const QByteArray utf8 = QString(reinterpret_cast<const QChar*>(text.data()),
                                        static_cast<qsizetype>(text.size()))
                                    .toUtf8();
        auto data = std::make_shared<const std::string>(utf8.constData(),
                                                        static_cast<std::size_t>(utf8.size()));
        std::vector<Format> formats;
        formats.push_back({utf8_, utf8_, 8, data});
        for (xcb_atom_t target : textTargets_) formats.push_back({target, utf8_, 8, data});
        formats.push_back({secret_, utf8_, 8, std::make_shared<const std::string>(kSecretValue)});
        pasteDone_ = std::move(done);
        stage_ = Stage::kPaste;
        fetched_ = false;
        otherFetched_ = false;
        pasted_ = true;
        PasterClients();
        if (!Serve(std::move(formats))) return FinishPaste(PasteResult::kTaken);
        qCInfo(lcSelection) << "pasting the converted text";
        SendStrokes(PasteKeys(window.terminal, FrontKnown()));
        wait_.start(static_cast<int>(limit.count()));
    }

    void RestoreClipboard() override {
        // Once the converted text was put there, a clipboard that another program took since
        // holds that program's text: it stays. Before that, the window's copy is what is there,
        // and the kept clipboard goes back over it.
        if (pasted_ && taken_) {
            qCInfo(lcSelection) << "another program took the clipboard: it is not put back";
        } else if (!keptOwned_) {
            xcb_set_selection_owner(c_, XCB_WINDOW_NONE, clipboard_, XCB_CURRENT_TIME);
            serving_.clear();
            xcb_flush(c_);
        } else {
            Serve(std::move(kept_));
        }
        DropKeptClipboard();
    }

    // ---- Selecting the pasted text again ----

    void SelectBack(const FrontWindow&, std::size_t characters) override {
        SendStrokes(SelectBackStrokes(characters));
    }

  private:
    enum class Stage { kIdle, kKeepTargets, kKeepFormat, kKeepChunks, kCopy, kPaste };

    xcb_atom_t Atom(const char* name) {
        XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    xcb_window_t Owner() {
        XcbReply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, clipboard_), nullptr));
        return owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
    }

    // The window manager's active window, else the window with the input focus.
    xcb_window_t ActiveWindow() {
        XcbReply<xcb_get_property_reply_t> active(xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, root_, activeWindow_, XCB_ATOM_WINDOW, 0, 1), nullptr));
        if (active && active->format == 32 && xcb_get_property_value_length(active.get()) == 4) {
            const auto window =
                *static_cast<const xcb_window_t*>(xcb_get_property_value(active.get()));
            if (window != XCB_WINDOW_NONE) return window;
        }
        XcbReply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        if (!focus || focus->focus == root_ || focus->focus <= XCB_INPUT_FOCUS_POINTER_ROOT) {
            return XCB_WINDOW_NONE;
        }
        return focus->focus;
    }

    // The instance and class names of `window` (or of the nearest ancestor that has them), from
    // WM_CLASS ("instance\0class\0").
    std::pair<std::string, std::string> WindowClass(xcb_window_t window) {
        for (int depth = 0; depth < 8 && window != XCB_WINDOW_NONE && window != root_; ++depth) {
            XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                c_, xcb_get_property(c_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
                nullptr));
            if (reply && xcb_get_property_value_length(reply.get()) > 0) {
                const std::string value(
                    static_cast<const char*>(xcb_get_property_value(reply.get())),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
                const std::size_t split = std::min(value.find('\0'), value.size());
                const std::string rest = split < value.size() ? value.substr(split + 1) : "";
                return {value.substr(0, split), rest.substr(0, rest.find('\0'))};
            }
            XcbReply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(c_, xcb_query_tree(c_, window), nullptr));
            if (!tree) break;
            window = tree->parent;
        }
        return {};
    }

    xcb_keycode_t Code(xcb_keysym_t sym) {
        XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols_, sym));
        return codes ? codes.get()[0] : xcb_keycode_t{0};
    }

    // The modifier keys down right now, as the server sees them.
    std::vector<xcb_keycode_t> HeldModifiers() {
        std::vector<xcb_keycode_t> held;
        XcbReply<xcb_query_keymap_reply_t> keymap(
            xcb_query_keymap_reply(c_, xcb_query_keymap(c_), nullptr));
        if (!keymap) return held;
        for (xcb_keycode_t code : modifierKeys_) {
            if ((keymap->keys[code / 8] >> (code % 8)) & 1) held.push_back(code);
        }
        return held;
    }

    void PollModifiers() {
        if (!modifiersDone_) return poll_.stop();
        const bool up = HeldModifiers().empty();
        if (!up && !modifiersDeadline_.hasExpired(modifiersLimit_)) return;
        poll_.stop();
        if (!up) qCInfo(lcSelection) << "modifiers still held: they are let go around the keys";
        std::exchange(modifiersDone_, nullptr)(up);
    }

    // Sends `strokes` through `keys_` to a Wayland window, through XTEST to an X11 one.
    void SendStrokes(const std::vector<KeyStroke>& strokes) {
        if (useKeys_) return keys_->Send(strokes);
        static constexpr xcb_keysym_t kSyms[kKeyCount] = {XK_Control_L, XK_Shift_L, XK_c,
                                                          XK_v,         XK_Insert,  XK_Left};
        std::vector<std::pair<std::uint8_t, xcb_keycode_t>> keys;
        for (const KeyStroke& stroke : strokes) {
            if (const xcb_keycode_t code = Code(kSyms[static_cast<std::size_t>(stroke.key)])) {
                keys.emplace_back(stroke.press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code);
            }
        }
        SendKeys(keys);
    }

    // Sends `keys` through XTEST. A modifier the user still holds would join them (Shift+Pause's
    // Shift turns Ctrl+C into Ctrl+Shift+C): it is let go before them and pressed again after,
    // so that the keyboard is left as the user holds it.
    void SendKeys(const std::vector<std::pair<std::uint8_t, xcb_keycode_t>>& keys) {
        const std::vector<xcb_keycode_t> held = HeldModifiers();
        for (xcb_keycode_t code : held) Fake(XCB_KEY_RELEASE, code);
        for (const auto& [type, code] : keys) Fake(type, code);
        for (xcb_keycode_t code : held) Fake(XCB_KEY_PRESS, code);
        xcb_flush(c_);
    }

    void Fake(std::uint8_t type, xcb_keycode_t code) {
        xcb_test_fake_input(c_, type, code, XCB_CURRENT_TIME, root_, 0, 0, 0);
    }

    // A round trip: every event the server sent before it is read and handled.
    void Sync() {
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        Drain();
    }

    void Ask(xcb_atom_t target, std::chrono::milliseconds limit) {
        xcb_delete_property(c_, window_, property_);
        xcb_convert_selection(c_, window_, clipboard_, target, property_, XCB_CURRENT_TIME);
        xcb_flush(c_);
        wait_.start(limit);
    }

    // ---- Serving the clipboard ----

    // Makes this connection's window the clipboard's owner, serving `formats`. False when the
    // server did not make it the owner.
    bool Serve(std::vector<Format> formats) {
        serving_ = std::move(formats);
        taken_ = false;
        xcb_set_selection_owner(c_, window_, clipboard_, XCB_CURRENT_TIME);
        const bool owner = Owner() == window_;
        ownsClipboard_ = owner;
        return owner;
    }

    void OnSelectionRequest(const xcb_selection_request_event_t& request) {
        xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
        const bool ours =
            request.owner == window_ && request.selection == clipboard_ && ownsClipboard_;
        bool answered = false;
        if (ours && request.target == targets_) {
            if (stage_ == Stage::kPaste) listedTo_.push_back(ClientOf(request.requestor));
            std::vector<xcb_atom_t> offered{targets_, timestamp_};
            for (const Format& format : serving_) offered.push_back(format.target);
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                XCB_ATOM_ATOM, 32, static_cast<std::uint32_t>(offered.size()),
                                offered.data());
            answered = true;
        } else if (ours && request.target == timestamp_) {
            const std::uint32_t time = XCB_CURRENT_TIME;
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                XCB_ATOM_INTEGER, 32, 1, &time);
            answered = true;
        } else if (ours && !PasteHiddenFrom(request.requestor, request.target)) {
            for (const Format& format : serving_) {
                if (format.target != request.target) continue;
                answered = Send(request.requestor, property, format);
                break;
            }
        }
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = answered ? property : xcb_atom_t{XCB_ATOM_NONE};
        xcb_send_event(c_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
        xcb_flush(c_);
    }

    // Puts `format` in the requestor's property, whole or by INCR. A text sent for the paste is
    // fetched once the requestor has deleted the property it read (or taken the last INCR piece).
    bool Send(xcb_window_t requestor, xcb_atom_t property, const Format& format) {
        const bool text = stage_ == Stage::kPaste && format.target != secret_;
        if (text || format.data->size() > kIncrPiece) {
            // Told of the requestor's property changes: its deletions say what it has read.
            const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(c_, requestor, XCB_CW_EVENT_MASK, &events);
        }
        if (format.data->size() <= kIncrPiece) {
            xcb_change_property(
                c_, XCB_PROP_MODE_REPLACE, requestor, property, format.type, format.unit,
                static_cast<std::uint32_t>(format.data->size() / (format.unit / 8u)),
                format.data->data());
            if (text) transfers_.push_back({requestor, property, format, 0, false, false, true});
            return true;
        }
        const auto size =
            static_cast<std::uint32_t>(std::min<std::size_t>(format.data->size(), 0xffffffffu));
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, requestor, property, incr_, 32, 1, &size);
        transfers_.push_back({requestor, property, format, 0, true, false, text});
        return true;
    }

    // The requestor deleted a property: it read what was there. The next INCR piece follows (an
    // empty one ends the transfer); a whole property, or the last piece, read ends it.
    void OnPropertyDeleted(xcb_window_t window, xcb_atom_t atom) {
        for (auto it = transfers_.begin(); it != transfers_.end(); ++it) {
            if (it->requestor != window || it->property != atom) continue;
            Transfer& transfer = *it;
            if (!transfer.incr || transfer.finished) {
                const bool paste = transfer.paste;
                transfers_.erase(it);
                if (paste) FetchedBy(window);
                return;
            }
            const std::string& data = *transfer.format.data;
            const std::size_t piece = std::min(kIncrPiece, data.size() - transfer.offset);
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, atom, transfer.format.type,
                                transfer.format.unit,
                                static_cast<std::uint32_t>(piece / (transfer.format.unit / 8u)),
                                data.data() + transfer.offset);
            transfer.offset += piece;
            transfer.finished = piece == 0;
            xcb_flush(c_);
            return;
        }
    }

    // The X clients that paste into the window in front: its own and that of the window with the
    // input focus (an embedded window's). None known (a Wayland window in front): any client.
    void PasterClients() {
        pasters_.clear();
        listedTo_.clear();
        if (!FrontKnown()) return;
        pasters_.push_back(ClientOf(frontWindow_));
        XcbReply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        if (focus && focus->focus != root_ && focus->focus > XCB_INPUT_FOCUS_POINTER_ROOT) {
            pasters_.push_back(ClientOf(focus->focus));
        }
    }
    std::uint32_t ClientOf(xcb_window_t window) const { return window & ~resourceMask_; }
    bool IsPaster(std::uint32_t client) const {
        return pasters_.empty() ||
               std::find(pasters_.begin(), pasters_.end(), client) != pasters_.end();
    }

    // The pasted text goes to the window's clients, and to another that has seen its formats,
    // the secret mark among them (a program that pastes through a helper lists them first). A
    // clipboard history that listed the formats of the owner before would record it.
    bool PasteHiddenFrom(xcb_window_t requestor, xcb_atom_t target) const {
        if (stage_ != Stage::kPaste || target == secret_) return false;
        const std::uint32_t client = ClientOf(requestor);
        return !IsPaster(client) &&
               std::find(listedTo_.begin(), listedTo_.end(), client) == listedTo_.end();
    }

    // A requestor took the pasted text. The window's own client ends the paste. Another one does
    // not, else the clipboard could go back before the window fetched it; where the window's
    // client does not come (a program that pastes through a helper of its own, as Wine does),
    // the paste ends a little later all the same.
    void FetchedBy(xcb_window_t requestor) {
        if (stage_ != Stage::kPaste || fetched_) return;
        if (IsPaster(ClientOf(requestor))) return Fetched();
        qCInfo(lcSelection) << "another program fetched the pasted text";
        if (otherFetched_) return;
        otherFetched_ = true;
        wait_.start(std::min(wait_.remainingTime(), static_cast<int>(kOtherFetchGrace.count())));
    }

    void Fetched() {
        if (stage_ != Stage::kPaste || fetched_) return;
        fetched_ = true;
        qCInfo(lcSelection) << "the window fetched the pasted text";
        FinishPaste(PasteResult::kFetched);
    }

    // ---- Events ----

    void Drain() {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(c_)) {
            XcbReply<xcb_generic_event_t> event(raw);
            const std::uint8_t type = raw->response_type & 0x7f;
            if (type == xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
                const auto* change = reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(raw);
                if (change->selection == clipboard_ && change->owner != window_) {
                    ownerChanged_ = true;
                    if (stage_ == Stage::kCopy) CopyChanged();
                }
            } else if (type == XCB_SELECTION_REQUEST) {
                OnSelectionRequest(*reinterpret_cast<xcb_selection_request_event_t*>(raw));
            } else if (type == XCB_SELECTION_CLEAR) {
                const auto* clear = reinterpret_cast<xcb_selection_clear_event_t*>(raw);
                if (clear->owner == window_ && clear->selection == clipboard_) OnCleared();
            } else if (type == XCB_SELECTION_NOTIFY) {
                const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(raw);
                if (notify->requestor == window_) OnKeepAnswer(*notify);
            } else if (type == XCB_PROPERTY_NOTIFY) {
                const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(raw);
                if (change->state == XCB_PROPERTY_DELETE) {
                    OnPropertyDeleted(change->window, change->atom);
                } else if (change->window == window_ && change->atom == property_ &&
                           stage_ == Stage::kKeepChunks) {
                    OnKeepChunk();
                }
            }
        }
    }

    void OnCleared() {
        ownsClipboard_ = false;
        taken_ = true;
        serving_.clear();
        transfers_.clear();
        if (stage_ == Stage::kPaste && !fetched_) FinishPaste(PasteResult::kTaken);
    }

    void CopyChanged() {
        wait_.stop();
        stage_ = Stage::kIdle;
        qCInfo(lcSelection) << "the window copied its selection";
        if (auto done = std::exchange(copyDone_, nullptr)) done(true);
    }

    void TimedOut() {
        switch (stage_) {
            case Stage::kCopy:
                stage_ = Stage::kIdle;
                qCInfo(lcSelection) << "nothing was copied: nothing is selected";
                if (auto done = std::exchange(copyDone_, nullptr)) done(false);
                break;
            case Stage::kPaste:
                if (otherFetched_) {
                    Fetched();
                    break;
                }
                qCInfo(lcSelection) << "the window did not fetch the pasted text in time";
                FinishPaste(PasteResult::kTimedOut);
                break;
            case Stage::kKeepTargets:
                FinishKeep(false);  // an owner that does not even list its formats
                break;
            case Stage::kKeepFormat:
            case Stage::kKeepChunks:
                NextKeptFormat();  // a format the owner does not give is left out
                break;
            case Stage::kIdle:
                break;
        }
    }

    void FinishPaste(PasteResult result) {
        wait_.stop();
        stage_ = Stage::kIdle;
        if (auto done = std::exchange(pasteDone_, nullptr)) done(result);
    }

    // ---- Keeping: the owner's formats, one after the other ----

    void OnKeepAnswer(const xcb_selection_notify_event_t& notify) {
        if (stage_ == Stage::kKeepTargets) {
            if (notify.property == XCB_ATOM_NONE) return FinishKeep(false);
            XcbReply<xcb_get_property_reply_t> reply(Take());
            if (!reply || reply->format != 32) return FinishKeep(false);
            const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
            const int count = xcb_get_property_value_length(reply.get()) / 4;
            pendingTargets_.clear();
            for (int i = 0; i < count; ++i) {
                const xcb_atom_t target = atoms[i];
                if (target == XCB_ATOM_NONE ||
                    std::find(metaTargets_.begin(), metaTargets_.end(), target) !=
                        metaTargets_.end() ||
                    std::find(pendingTargets_.begin(), pendingTargets_.end(), target) !=
                        pendingTargets_.end()) {
                    continue;
                }
                pendingTargets_.push_back(target);
            }
            return NextKeptFormat();
        }
        if (stage_ != Stage::kKeepFormat) return;
        if (notify.property == XCB_ATOM_NONE) return NextKeptFormat();  // refused: left out
        XcbReply<xcb_get_property_reply_t> reply(Take());
        if (!reply) return NextKeptFormat();
        if (reply->type == incr_) {
            chunked_ = Format{pendingTargets_.front(), XCB_ATOM_NONE, 8, nullptr};
            chunkData_.clear();
            stage_ = Stage::kKeepChunks;
            wait_.start(kKeepFormatLimit);
            return;
        }
        AddKept(pendingTargets_.front(), reply->type, reply->format, Value(*reply));
    }

    void OnKeepChunk() {
        XcbReply<xcb_get_property_reply_t> reply(Take());
        if (!reply) return NextKeptFormat();
        if (xcb_get_property_value_length(reply.get()) == 0) {
            return AddKept(chunked_.target, chunked_.type, chunked_.unit, std::move(chunkData_));
        }
        chunked_.type = reply->type;
        chunked_.unit = reply->format;
        chunkData_ += Value(*reply);
        if (keptBytes_ + chunkData_.size() > kMaxKeptBytes) return FinishKeep(false);
        wait_.start(kKeepFormatLimit);
    }

    static std::string Value(xcb_get_property_reply_t& reply) {
        const int units = xcb_get_property_value_length(&reply);
        return std::string(static_cast<const char*>(xcb_get_property_value(&reply)),
                           static_cast<std::size_t>(units));
    }

    XcbReply<xcb_get_property_reply_t> Take() {
        return XcbReply<xcb_get_property_reply_t>(xcb_get_property_reply(
            c_,
            xcb_get_property(c_, 1, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1fffffff),
            nullptr));
    }

    void AddKept(xcb_atom_t target, xcb_atom_t type, std::uint8_t unit, std::string data) {
        keptBytes_ += data.size();
        if (keptBytes_ > kMaxKeptBytes) return FinishKeep(false);
        kept_.push_back({target, type, unit == 0 ? std::uint8_t{8} : unit,
                         std::make_shared<const std::string>(std::move(data))});
        NextKeptFormat();
    }

    void NextKeptFormat() {
        if (stage_ == Stage::kKeepFormat || stage_ == Stage::kKeepChunks) {
            pendingTargets_.erase(pendingTargets_.begin());
        }
        if (pendingTargets_.empty()) return FinishKeep(true);
        stage_ = Stage::kKeepFormat;
        Ask(pendingTargets_.front(), kKeepFormatLimit);
    }

    void FinishKeep(bool kept) {
        wait_.stop();
        stage_ = Stage::kIdle;
        if (!kept) DropKeptClipboard();
        qCInfo(lcSelection) << (kept ? "the clipboard was kept:"
                                     : "the clipboard could not be kept")
                            << kept_.size() << "formats," << keptBytes_ << "bytes";
        if (auto done = std::exchange(keepDone_, nullptr)) done(kept);
    }

    struct Transfer {
        xcb_window_t requestor;
        xcb_atom_t property;
        Format format;
        std::size_t offset;  // INCR: the bytes sent so far
        bool incr;
        bool finished;  // INCR: the empty last piece was sent
        bool paste;     // the text pasted: its end is the window's fetch
    };

    std::unique_ptr<KeySender> keys_;
    std::function<void(bool)> reportKeys_;
    // The window in front, an X11 window (none: a Wayland window, or none at all).
    xcb_window_t frontWindow_ = XCB_WINDOW_NONE;
    bool FrontKnown() const { return frontWindow_ != XCB_WINDOW_NONE; }
    bool useKeys_ = false;  // this replacement's keys go through keys_

    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_key_symbols_t* symbols_ = nullptr;
    std::uint8_t xfixesEvent_ = 0;
    xcb_atom_t clipboard_ = XCB_ATOM_NONE, targets_ = XCB_ATOM_NONE, timestamp_ = XCB_ATOM_NONE,
               incr_ = XCB_ATOM_NONE, utf8_ = XCB_ATOM_NONE, secret_ = XCB_ATOM_NONE,
               activeWindow_ = XCB_ATOM_NONE, property_ = XCB_ATOM_NONE;
    std::vector<xcb_atom_t> textTargets_;
    std::vector<xcb_atom_t> metaTargets_;
    std::vector<xcb_keycode_t> modifierKeys_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer wait_;  // the limit of the step that waits
    QTimer poll_;  // modifiers
    QElapsedTimer modifiersDeadline_;
    int modifiersLimit_ = 0;
    Stage stage_ = Stage::kIdle;

    std::function<void(bool)> modifiersDone_;
    std::function<void(bool)> keepDone_;
    std::function<void(bool)> copyDone_;
    std::function<void(PasteResult)> pasteDone_;

    std::vector<Format> kept_;
    bool keptOwned_ = false;  // the clipboard had an owner when it was kept
    std::size_t keptBytes_ = 0;
    std::vector<xcb_atom_t> pendingTargets_;
    Format chunked_;
    std::string chunkData_;

    std::vector<Format> serving_;
    std::vector<Transfer> transfers_;
    bool ownsClipboard_ = false;
    bool taken_ = false;   // another program took the clipboard from this connection
    bool pasted_ = false;  // this replacement put its text on the clipboard
    bool fetched_ = false;
    bool otherFetched_ = false;            // a client not the window's took the pasted text
    std::vector<std::uint32_t> pasters_;   // the clients whose fetch ends the paste
    std::vector<std::uint32_t> listedTo_;  // the clients that asked for the pasted formats
    std::uint32_t resourceMask_ = 0;       // the bits of a resource id within its client's
    bool ownerChanged_ = false;
};

}  // namespace

bool IsTerminalClass(std::string_view windowClass) {
    const std::string name = Lower(windowClass);
    return std::find(std::begin(kTerminalClasses), std::end(kTerminalClasses), name) !=
           std::end(kTerminalClasses);
}

std::unique_ptr<SelectionDesktop> ConnectX11SelectionDesktop(std::unique_ptr<KeySender> keys,
                                                             std::function<void(bool)> reportKeys) {
    auto desktop = std::make_unique<X11SelectionDesktop>(std::move(keys), std::move(reportKeys));
    if (!desktop->Connect()) {
        qCInfo(lcSelection)
            << "no X11 display with XTEST and XFixes: the selection is not replaced";
        return nullptr;
    }
    return desktop;
}

}  // namespace litvorot
