// When another program holds Ctrl+Space (an input method, an IDE), the program runs on and says
// so: the tray icon's tool tip for as long as it runs, and a notification once, the first time.
// What both platforms share of it, without a toolkit: the texts and the small record of having
// told the user.
#pragma once

#include <filesystem>
#include <string_view>

namespace litvorot {

// The notification's title.
inline constexpr std::string_view kHotKeyTakenTitle = "Litvorot: Ctrl+Space is taken";
// The tool tip (at most 63 characters, as every tray tip) and the notification's text where the
// running program is driven from the command line.
inline constexpr std::string_view kHotKeyTakenTip =
    "Litvorot: Ctrl+Space is taken, use litvorot --go";
inline constexpr std::string_view kHotKeyTakenMessage =
    "Another program holds Ctrl+Space, so it cannot convert the clipboard. The tray menu's Go "
    "still works, and a desktop shortcut can run: litvorot --go";
// The same for the Windows program, whose command line is litvorot.exe's.
inline constexpr std::string_view kHotKeyTakenTipWindows =
    "Litvorot: Ctrl+Space is taken, use Go or litvorot --go";
inline constexpr std::string_view kHotKeyTakenMessageWindows =
    "Another program holds Ctrl+Space, so it cannot convert the clipboard. The tray menu's Go "
    "still works, and a shortcut can run: litvorot.exe --go";
// The same for the selection's key, Shift+Pause: told once, by a notification (the tool tip
// stays Ctrl+Space's).
inline constexpr std::string_view kSelectionKeyTakenTitle = "Litvorot: Shift+Pause is taken";
inline constexpr std::string_view kSelectionKeyTakenMessage =
    "Another program holds Shift+Pause, so it cannot replace the selected text. A desktop "
    "shortcut can run: litvorot --replace-selection";
// Its record, beside the hot key's.
inline constexpr std::string_view kSelectionKeyNoticeName = "selection-key-taken";
// The Windows program tells it in the tool tip as well, which it shows for as long as it runs,
// and, when both keys are news, both in one balloon.
inline constexpr std::string_view kSelectionKeyTakenTipWindows =
    "Litvorot: Shift+Pause is taken, use --replace-selection";
inline constexpr std::string_view kSelectionKeyTakenMessageWindows =
    "Another program holds Shift+Pause, so it cannot replace the selected text. A shortcut can "
    "run: litvorot.exe --replace-selection";
inline constexpr std::string_view kBothKeysTakenTitle =
    "Litvorot: Ctrl+Space and Shift+Pause are taken";
inline constexpr std::string_view kBothKeysTakenTipWindows = kBothKeysTakenTitle;
inline constexpr std::string_view kBothKeysTakenMessageWindows =
    "Other programs hold Ctrl+Space and Shift+Pause. The tray menu's Go still works, and "
    "shortcuts can run litvorot.exe --go and litvorot.exe --replace-selection.";

// Where the desktop gives the program no way to send keys to its windows (a Wayland desktop
// without a virtual keyboard whose remote desktop portal is missing, or was refused), the
// selection cannot be replaced: told once, with what still works, until keys work again.
inline constexpr std::string_view kNoKeysTitle = "Litvorot: the selection cannot be replaced here";
inline constexpr std::string_view kNoKeysMessage =
    "This desktop does not let Litvorot send keys to its windows (the permission to control the "
    "keyboard was refused, or the desktop offers none), so Shift+Pause cannot replace the "
    "selected text. Copy the text, press Ctrl+Space (or run litvorot --go), then paste.";
inline constexpr std::string_view kNoKeysNoticeName = "selection-keys-missing";

// Records whether the hot key could be set up, in the small file `noticeFile` (not the settings
// file). Answers true when the user is to be told now: the key is taken and the user has not
// been told since it last worked. When `registered` is true, the record is cleared, so that
// losing the key again is announced again.
bool HotKeyNoticeDue(bool registered, const std::filesystem::path& noticeFile);

// `$XDG_STATE_HOME/litvorot/hotkey-taken`, or `~/.local/state/litvorot/hotkey-taken`; empty
// when neither variable helps (then the notification shows on every start).
std::filesystem::path HotKeyNoticeFile(const char* xdgStateHome, const char* home);

}  // namespace litvorot
