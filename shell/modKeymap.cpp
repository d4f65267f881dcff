#include "shell/modKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <iterator>
#include <memory>

namespace litvorot {

namespace {

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
using Context = std::unique_ptr<xkb_context, ContextDeleter>;
using Keymap = std::unique_ptr<xkb_keymap, KeymapDeleter>;

// The keysym each Key stands for (either of the two modifier keys will do).
struct Wanted {
    Key key;
    xkb_keysym_t sym;
    xkb_keysym_t other;
};
constexpr Wanted kWanted[] = {
    {Key::kControl, XKB_KEY_Control_L, XKB_KEY_Control_R},
    {Key::kShift, XKB_KEY_Shift_L, XKB_KEY_Shift_R},
    {Key::kC, XKB_KEY_c, XKB_KEY_c},
    {Key::kV, XKB_KEY_v, XKB_KEY_v},
    {Key::kInsert, XKB_KEY_Insert, XKB_KEY_Insert},
    {Key::kLeft, XKB_KEY_Left, XKB_KEY_Left},
};

// The keymap's first key whose first level in `layout` gives `sym` (or `other`); 0 for none. A
// key's first level is what it types alone: the letter c, not C, and not a key that gives c only
// with Shift or AltGr.
xkb_keycode_t KeyFor(xkb_keymap* keymap, xkb_layout_index_t layout, xkb_keysym_t sym,
                     xkb_keysym_t other) {
    for (const xkb_keysym_t wanted : {sym, other}) {
        const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= last; ++code) {
            // A key with fewer layouts than the keymap (Control, the arrows: one for all) gives
            // its first one in the others, as XKB wraps the layout for it.
            const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, code);
            if (layouts == 0) continue;
            const xkb_keysym_t* syms = nullptr;
            const int count =
                xkb_keymap_key_get_syms_by_level(keymap, code, layout % layouts, 0, &syms);
            for (int i = 0; i < count; ++i) {
                if (syms[i] == wanted) return code;
            }
        }
    }
    return 0;
}

Context NewContext() { return Context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)); }

}  // namespace

std::optional<KeymapKeys> LookUpKeys(std::string_view text) {
    const Context context = NewContext();
    if (!context || text.empty()) return std::nullopt;
    // The compositor's keymap comes NUL-terminated; the length passed is the text's own.
    const std::string_view body = text.substr(0, text.find('\0'));
    const Keymap keymap(xkb_keymap_new_from_buffer(context.get(), body.data(), body.size(),
                                                   XKB_KEYMAP_FORMAT_TEXT_V1,
                                                   XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) return std::nullopt;
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts(keymap.get());
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
        KeymapKeys keys;
        keys.layout = layout;
        bool complete = true;
        for (const Wanted& wanted : kWanted) {
            const xkb_keycode_t code = KeyFor(keymap.get(), layout, wanted.sym, wanted.other);
            // Keycodes of XKB are evdev's plus 8 (the X server's old numbering).
            if (code < 8) {
                complete = false;
                break;
            }
            keys.code[static_cast<std::size_t>(wanted.key)] = code - 8;
        }
        if (!complete) continue;
        const xkb_mod_index_t control = xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_CTRL);
        const xkb_mod_index_t shift = xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_SHIFT);
        if (control == XKB_MOD_INVALID || shift == XKB_MOD_INVALID) return std::nullopt;
        keys.controlMask = 1u << control;
        keys.shiftMask = 1u << shift;
        return keys;
    }
    return std::nullopt;
}

std::string DefaultKeymap() {
    const Context context = NewContext();
    if (!context) return {};
    // No names: the library fills them in from XKB_DEFAULT_RULES, _MODEL, _LAYOUT, _VARIANT and
    // _OPTIONS, as compositors do for a keyboard they have no settings for.
    const Keymap keymap(
        xkb_keymap_new_from_names(context.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) return {};
    std::unique_ptr<char, decltype(&std::free)> text(
        xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    return text ? std::string(text.get()) : std::string();
}

std::vector<KeyStroke> Shortcut(std::initializer_list<Key> keys) {
    std::vector<KeyStroke> strokes;
    for (const Key key : keys) strokes.push_back({key, true});
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) strokes.push_back({*it, false});
    return strokes;
}

std::vector<KeyStroke> CopyKeys(bool terminal, bool known) {
    if (!known) return Shortcut({Key::kControl, Key::kInsert});
    return terminal ? Shortcut({Key::kControl, Key::kShift, Key::kC})
                    : Shortcut({Key::kControl, Key::kC});
}

std::vector<KeyStroke> PasteKeys(bool terminal, bool known) {
    if (!known) return Shortcut({Key::kShift, Key::kInsert});
    return terminal ? Shortcut({Key::kControl, Key::kShift, Key::kV})
                    : Shortcut({Key::kControl, Key::kV});
}

std::vector<KeyStroke> SelectBackStrokes(std::size_t characters) {
    std::vector<KeyStroke> strokes;
    strokes.reserve(characters * 2 + 2);
    strokes.push_back({Key::kShift, true});
    for (std::size_t i = 0; i < characters; ++i) {
        strokes.push_back({Key::kLeft, true});
        strokes.push_back({Key::kLeft, false});
    }
    strokes.push_back({Key::kShift, false});
    return strokes;
}

}  // namespace litvorot
