#include "shell/modSystemTray_win32.h"

#include <algorithm>
#include <cstring>

namespace litvorot {

NOTIFYICONDATAA TrayIconData{};
NOTIFYICONDATAW TrayBalloonData{};

namespace {

// The first version's tip; later ones have 128 bytes.
constexpr std::size_t kTipBytes = 64;

void FillTip(const char* tip) {
    std::memset(TrayIconData.szTip, ' ', kTipBytes);
    const std::size_t length = strnlen(tip, kTipBytes - 1);
    std::memcpy(TrayIconData.szTip, tip, length);
    TrayIconData.szTip[length] = '\0';
}

// Copies `text` into the fixed field `field`, cut so that its NUL fits.
template <std::size_t N>
void CopyField(wchar_t (&field)[N], std::wstring_view text) {
    const std::size_t length = std::min(text.size(), N - 1);
    std::wmemcpy(field, text.data(), length);
    field[length] = L'\0';
}

}  // namespace

bool AddTrayIcon(const char* tip, HWND window, HICON icon) {
    TrayIconData = NOTIFYICONDATAA{};
    // The first-version record (88 bytes in 32-bit programs): no balloon or version fields.
    TrayIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    TrayIconData.hWnd = window;
    TrayIconData.uID = kTrayIconId;
    TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIconData.uCallbackMessage = kTrayCallbackMessage;
    TrayIconData.hIcon = icon;
    FillTip(tip);
    return Shell_NotifyIconA(NIM_ADD, &TrayIconData) != FALSE;
}

bool SetTrayTip(const char* tip) {
    if (TrayIconData.hWnd == nullptr) return false;
    FillTip(tip);
    return Shell_NotifyIconA(NIM_MODIFY, &TrayIconData) != FALSE;
}

bool ShowTrayBalloon(std::wstring_view title, std::wstring_view text, DWORD kind) {
    if (TrayIconData.hWnd == nullptr) return false;
    // The balloon fields came with a later record than the icon's; the shell takes a record of
    // any version for the same icon.
    TrayBalloonData = NOTIFYICONDATAW{};
    TrayBalloonData.cbSize = sizeof(NOTIFYICONDATAW);
    TrayBalloonData.hWnd = TrayIconData.hWnd;
    TrayBalloonData.uID = TrayIconData.uID;
    TrayBalloonData.uFlags = NIF_INFO;
    TrayBalloonData.dwInfoFlags = kind;
    CopyField(TrayBalloonData.szInfoTitle, title);
    CopyField(TrayBalloonData.szInfo, text);
    return Shell_NotifyIconW(NIM_MODIFY, &TrayBalloonData) != FALSE;
}

void RemoveTrayIcon() { Shell_NotifyIconA(NIM_DELETE, &TrayIconData); }

std::int16_t TrayMouseMessage(LPARAM lParam) {
    const UINT message = LOWORD(lParam);
    return message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN ? 2 : 0;
}

}  // namespace litvorot
