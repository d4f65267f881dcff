// The keys replacing the selection sends on Wayland (copy, paste, select back), found where they
// are on the user's own keyboard layout. Wayland and the desktop portal take keys by their place
// on the keyboard (evdev codes), not by what they type: Ctrl+C is the key that types "c" in the
// user's keymap, which is not the same key on a Dvorak layout, and is on no key of a Russian one
// (a keymap "ru,us" has it only in its second layout).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace litvorot {

enum class Key { kControl, kShift, kC, kV, kInsert, kLeft };
inline constexpr std::size_t kKeyCount = 6;

// One key going down (press) or up.
struct KeyStroke {
    Key key;
    bool press;
    bool operator==(const KeyStroke&) const = default;
};

// Where the keys are in one keymap.
struct KeymapKeys {
    // evdev key codes (the keymap's keycodes less 8), by Key.
    std::array<std::uint32_t, kKeyCount> code{};
    // The layout (group) they were found in: the first one that has both letters.
    std::uint32_t layout = 0;
    // The modifier masks Control and Shift set, for a keyboard that states its modifiers.
    std::uint32_t controlMask = 0;
    std::uint32_t shiftMask = 0;

    std::uint32_t Code(Key key) const { return code[static_cast<std::size_t>(key)]; }
};

// Looks the keys up in `keymap` (XKB's text format, as wl_keyboard.keymap hands it over): the
// letters c and v in the first layout that has both, Control, Shift, Insert and Left in that
// layout. Nothing when the keymap does not compile or lacks one of them.
std::optional<KeymapKeys> LookUpKeys(std::string_view keymap);

// A keymap of the user's settings as XKB's environment gives them (XKB_DEFAULT_LAYOUT and the
// others; the library's default, "us", without them), in XKB's text format: for a seat that has
// no keyboard yet to take one from. Empty when it does not compile.
std::string DefaultKeymap();

// The strokes of a shortcut: each key pressed in the order given (modifiers first), then let go
// in the reverse order.
std::vector<KeyStroke> Shortcut(std::initializer_list<Key> keys);
// The copy and paste keys of a window. Terminals copy with Ctrl+Shift+C and paste with
// Ctrl+Shift+V (Ctrl+C would interrupt the program running in them), other windows with Ctrl+C
// and Ctrl+V. A window the desktop does not name (`known` false) may be a terminal: it gets
// Ctrl+Insert and Shift+Insert, which GTK, Qt, Firefox, Chromium and LibreOffice take as copy and
// paste and which never interrupt a program.
std::vector<KeyStroke> CopyKeys(bool terminal, bool known);
std::vector<KeyStroke> PasteKeys(bool terminal, bool known);
// Shift held down while Left goes `characters` times: the characters before the cursor selected.
std::vector<KeyStroke> SelectBackStrokes(std::size_t characters);

}  // namespace litvorot
