// The program's main window on Windows: shows the splash picture at start-up, then lives hidden
// as the owner of the tray icon, the popup menu and the hot key. It is the controller's platform:
// the controller (frmSplashBase) holds the settings and carries out the commands; this window does
// what only Win32 can.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

#include "shell/frmSplashBase.h"
#include "shell/modHotKey_win32.h"
#include "shell/modPlatform.h"
#include "tables/modTables.h"
#include "windows/modWindows.h"

// Where the Windows program records that the user was told Ctrl+Space is taken:
// %LOCALAPPDATA%\Litvorot\hotkey-taken, or empty when that folder is unknown.
std::filesystem::path HotKeyNoticeFileWin32();

class frmSplash : public frmSplashBase {
  public:
    // `exeDir` is the directory that holds the executable (and settings.ini); `hotKeyNoticeFile`
    // records that the user was told Ctrl+Space is taken (empty: told on every start).
    explicit frmSplash(std::filesystem::path exeDir,
                       std::filesystem::path hotKeyNoticeFile = std::filesystem::path());
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
    // `closed` runs when the main window goes (Exit, or the end asked for by the system).
    void OnClosed(std::function<void()> closed) { onClosed_ = std::move(closed); }
    HMENU PopupMenu() const { return mnuPopup; }
    // What the controller asks of Win32, for the tests that ask it directly.
    litvorot::Platform& AppPlatform();

    // Posted to the window for each message the controller hands over: shown from the message
    // loop, after the conversion that raised it has finished.
    static constexpr UINT kShowMessageMessage = WM_APP + 1;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The popup menu from the one menu table.
    void BuildMenu();

    // What the controller asks of Win32: this window's parts, the clipboard, the tray.
    class Desktop;
    frmSplash(std::unique_ptr<Desktop> desktop, std::filesystem::path exeDir);

    std::unique_ptr<Desktop> desktop_;
    HWND hwnd_ = nullptr;
    HWND imgSplash = nullptr;
    HMENU mnuPopup = nullptr;
    HICON imgSmallIcon = nullptr;
    std::function<void()> onClosed_;
};
