#include "shell/modSystemTray_win32.h"

#include <cstring>

namespace litvorot {

NOTIFYICONDATAA TrayIconData{};

bool AddTrayIcon(const char* tip, HWND window, HICON icon) {
    TrayIconData = NOTIFYICONDATAA{};
    // The first-version record (88 bytes in 32-bit programs): no balloon or version fields.
    TrayIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    TrayIconData.hWnd = window;
    TrayIconData.uID = kTrayIconId;
    TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIconData.uCallbackMessage = kTrayCallbackMessage;
    TrayIconData.hIcon = icon;
    constexpr std::size_t kTipBytes = 64;  // the first version's tip; later ones have 128
    std::memset(TrayIconData.szTip, ' ', kTipBytes);
    const std::size_t length = strnlen(tip, kTipBytes - 1);
    std::memcpy(TrayIconData.szTip, tip, length);
    TrayIconData.szTip[length] = '\0';
    return Shell_NotifyIconA(NIM_ADD, &TrayIconData) != FALSE;
}

void RemoveTrayIcon() { Shell_NotifyIconA(NIM_DELETE, &TrayIconData); }

std::int16_t TrayMouseMessage(LPARAM lParam) {
    const UINT message = LOWORD(lParam);
    return message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN ? 2 : 0;
}

}  // namespace litvorot
