// Telling the user that Ctrl+Space is held by another program (an input method, an IDE): the
// tray icon's tool tip says so for as long as the program runs, and a tray notification says it
// once, the first time it happens. The program runs on, through its menu and `litvorot --go`.
#pragma once

#include <QString>
#include <filesystem>

namespace litvorot {

// The tool tip while Ctrl+Space is taken (at most 63 characters, as every tray tip).
QString HotKeyTakenTip();
// The notification's text.
QString HotKeyTakenMessage();

// Records whether the hot key could be set up, in the small file `noticeFile` (not the settings
// file). Answers true when the user is to be told now: the key is taken and the user has not
// been told since it last worked. When `registered` is true, the record is cleared, so that
// losing the key again is announced again.
bool HotKeyNoticeDue(bool registered, const std::filesystem::path& noticeFile);

// `$XDG_STATE_HOME/litvorot/hotkey-taken`, or `~/.local/state/litvorot/hotkey-taken`; empty
// when neither variable helps (then the notification shows on every start).
std::filesystem::path HotKeyNoticeFile(const char* xdgStateHome, const char* home);

// Sets the tray icon's tool tip and shows the notification when it is due. Call after start-up.
void ReportHotKeyState(bool registered, const std::filesystem::path& noticeFile);

}  // namespace litvorot
