// The program's main window on Windows: shows the splash picture at start-up, then lives hidden
// as the owner of the tray icon, the popup menu and the hot key. It is the controller's platform:
// the controller (frmSplashBase) holds the settings and carries out the commands; this window does
// what only Win32 can.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "clipboard/clipboard_win32.h"
#include "shell/frmSplashBase.h"
#include "shell/modHotKey_win32.h"
#include "shell/modPlatform.h"
#include "tables/modTables.h"
#include "windows/modWindows.h"

class frmSplash : private litvorot::Platform, public frmSplashBase {
  public:
    // `exeDir` is the directory that holds the executable (and settings.ini).
    explicit frmSplash(std::filesystem::path exeDir);
    ~frmSplash() override;

    // The one main window, or nullptr.
    static frmSplash* Current();

    // Creates the window, then the controller's start-up: the splash picture for
    // `splashSeconds`, the tray icon, the letter tables, the settings and the hot key. False when
    // the window could not be created.
    bool Form_Load(int splashSeconds = 1);

    // The tray icon's notification (the mouse message in the low word of lParam): a right-button
    // press or a left double-click opens the popup menu at the mouse position.
    void Form_MouseMove(LPARAM lParam);

    HWND Window() const { return hwnd_; }
    HMENU PopupMenu() const { return mnuPopup; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The popup menu from the one menu table.
    void BuildMenu();

    // The platform.
    litvorot::Clipboard& AppClipboard() override { return clipboard_; }
    litvorot::HotKey& AppHotKey() override { return hotKey_; }
    void ShowSplash() override;
    void HideSplash() override;
    void Pause(int seconds) override;
    void AddTrayIcon(std::string_view tip) override;
    void RemoveTrayIcon() override;
    void SetMenuItemChecked(const litvorot::MenuItem& item, bool checked) override;
    void SetMenuItemEnabled(const litvorot::MenuItem& item, bool enabled) override;
    void OpenStatusDialog(litvorot::TextFormat source, litvorot::TextFormat dest,
                          const std::string& reading) override {
        litvorot::windows::OpenStatusDialog(source, dest, reading);
    }
    void OpenWindow(litvorot::AppWindow window) override {
        litvorot::windows::OpenAppWindow(window);
    }
    void SettingsFileChosen(const std::filesystem::path&, bool) override {}
    void CloseMainWindow() override;
    void EndProgram() override;

    HWND hwnd_ = nullptr;
    HWND imgSplash = nullptr;
    HMENU mnuPopup = nullptr;
    HICON imgSmallIcon = nullptr;
    litvorot::ClipboardWin32 clipboard_{nullptr};
    litvorot::Win32HotKey hotKey_;
};
