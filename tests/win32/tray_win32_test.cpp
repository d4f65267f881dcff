// The tray record and the decoding of its notifications.
#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <string>

#include "shell/modSystemTray_win32.h"

using namespace litvorot;

namespace {

TEST(TrayWin32Test, TheRecordIsTheFirstVersionWithAPaddedTip) {
    HWND window = CreateWindowExW(0, L"STATIC", L"tray test", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, nullptr, nullptr);
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    AddTrayIcon("Litvorot", window, icon);
    EXPECT_EQ(TrayIconData.cbSize, NOTIFYICONDATAA_V1_SIZE);
    EXPECT_EQ(TrayIconData.cbSize, sizeof(void*) == 4 ? 88u : 104u);
    EXPECT_EQ(TrayIconData.hWnd, window);
    EXPECT_EQ(TrayIconData.uID, 1u);
    EXPECT_EQ(TrayIconData.uFlags, 7u);
    EXPECT_EQ(TrayIconData.uCallbackMessage, 0x200u);
    EXPECT_EQ(TrayIconData.hIcon, icon);
    const std::string tip(TrayIconData.szTip, 64);
    EXPECT_EQ(tip, std::string("Litvorot") + '\0' + std::string(55, ' '));
    RemoveTrayIcon();

    // A tip longer than 63 characters is cut so that the NUL fits.
    const std::string longTip(80, 'x');
    AddTrayIcon(longTip.c_str(), window, icon);
    EXPECT_EQ(std::string(TrayIconData.szTip), std::string(63, 'x'));
    EXPECT_EQ(TrayIconData.szTip[63], '\0');
    RemoveTrayIcon();
    DestroyWindow(window);
}

TEST(TrayWin32Test, OnlyARightPressOrALeftDoubleClickOpensTheMenu) {
    EXPECT_EQ(TrayMouseMessage(MAKELPARAM(WM_RBUTTONDOWN, 0)), 2);
    EXPECT_EQ(TrayMouseMessage(MAKELPARAM(WM_LBUTTONDBLCLK, 0)), 2);
    for (UINT message :
         std::initializer_list<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP,
                                     WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, 0u}) {
        EXPECT_EQ(TrayMouseMessage(MAKELPARAM(message, 0)), 0) << message;
    }
    // Pointer moves over the splash picture (426 pixels wide) never reach 515.
    for (int x = 0; x < 426; ++x) EXPECT_EQ(TrayMouseMessage(MAKELPARAM(x, 100)), 0);
}

}  // namespace
