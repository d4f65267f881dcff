// The notification-area icon on Windows: one NOTIFYICONDATAA record in its first-version layout,
// whose callback message is WM_MOUSEMOVE with the mouse message in the low word of lParam.
#pragma once

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdint>
#include <string_view>

namespace litvorot {

inline constexpr UINT kTrayIconId = 1;
inline constexpr UINT kTrayCallbackMessage = WM_MOUSEMOVE;  // 0x200

// The record AddTrayIcon fills and RemoveTrayIcon reuses.
extern NOTIFYICONDATAA TrayIconData;

// Fills TrayIconData for `window` and `icon` with the tip `tip` (at most 63 characters are kept;
// the rest of the 64 bytes is a NUL and spaces) and adds the icon. The shell's answer.
bool AddTrayIcon(const char* tip, HWND window, HICON icon);

// Changes the tip of the icon that TrayIconData describes, cut and padded as AddTrayIcon does.
// False when there is no icon or the shell refuses.
bool SetTrayTip(const char* tip);

// The record of the last balloon ShowTrayBalloon asked for.
extern NOTIFYICONDATAW TrayBalloonData;

// Shows a balloon notification above the icon that TrayIconData describes: `title` (at most 63
// characters are kept) and `text` (at most 255), with the picture `kind` (NIIF_INFO,
// NIIF_WARNING). False when there is no icon or the shell refuses.
bool ShowTrayBalloon(std::wstring_view title, std::wstring_view text, DWORD kind);

// Deletes the icon that TrayIconData describes.
void RemoveTrayIcon();

// 2 when the mouse message carried by the callback's `lParam` opens the menu (a left double-click,
// 515, or a right-button press, 516), otherwise 0.
std::int16_t TrayMouseMessage(LPARAM lParam);

}  // namespace litvorot
