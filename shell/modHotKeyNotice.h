// Telling the user that Ctrl+Space is held by another program (an input method, an IDE): the
// tray icon's tool tip says so for as long as the program runs, and a tray notification says it
// once, the first time it happens. The program runs on, through its menu and `litvorot --go`.
#pragma once

#include <QString>
#include <filesystem>

#include "shell/modHotKeyTaken.h"

namespace litvorot {

// The tool tip while Ctrl+Space is taken (at most 63 characters, as every tray tip).
QString HotKeyTakenTip();
// The notification's text.
QString HotKeyTakenMessage();

// Shows the notification that Shift+Pause is taken when it is due (its record lies beside
// `noticeFile`'s).
void ReportSelectionKeyState(bool registered, const std::filesystem::path& noticeFile);

// Sets the tray icon's tool tip and shows the notification when it is due. Call after start-up.
void ReportHotKeyState(bool registered, const std::filesystem::path& noticeFile);

}  // namespace litvorot
