// The notification-area icon on Windows: one NOTIFYICONDATAA record in its first-version layout,
// whose callback message is WM_MOUSEMOVE with the mouse message in the low word of lParam.
#pragma once

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdint>

namespace litvorot {

inline constexpr UINT kTrayIconId = 1;
inline constexpr UINT kTrayCallbackMessage = WM_MOUSEMOVE;  // 0x200

// The record AddTrayIcon fills and RemoveTrayIcon reuses.
extern NOTIFYICONDATAA TrayIconData;

// Fills TrayIconData for `window` and `icon` with the tip `tip` (at most 63 characters are kept;
// the rest of the 64 bytes is a NUL and spaces) and adds the icon. The shell's answer.
bool AddTrayIcon(const char* tip, HWND window, HICON icon);

// Deletes the icon that TrayIconData describes.
void RemoveTrayIcon();

// 2 when the mouse message carried by the callback's `lParam` opens the menu (a left double-click,
// 515, or a right-button press, 516), otherwise 0.
std::int16_t TrayMouseMessage(LPARAM lParam);

}  // namespace litvorot
