// The program's main window on Windows: shows the splash picture at start-up, then lives hidden
// as the owner of the tray icon, the popup menu and the hot key. It holds the three user
// settings, keeps the menu's check marks in step with them and carries out every menu command.
#pragma once

#include <windows.h>

#include <array>
#include <filesystem>

#include "clipboard/clipboard_win32.h"
#include "shell/frmSplashBase.h"
#include "tables/modTables.h"

class frmSplash : public frmSplashBase {
  public:
    // `exeDir` is the directory that holds the executable (and settings.ini).
    explicit frmSplash(std::filesystem::path exeDir);
    ~frmSplash() override;

    // The one main window, or nullptr.
    static frmSplash* Current();

    // Start-up: the splash picture for `splashSeconds`, then the tray icon, the letter tables,
    // the settings and the hot key. False when the window could not be created.
    bool Form_Load(int splashSeconds = 1);

    // Menu commands of this window; the settings' and Go are frmSplashBase's.
    void mnuShowTable_Click();
    void mnuHelp_Click();
    void mnuAbout_Click();
    void mnuExit_Click() { Shutdown(); }

    // The exit sequence: settings file, hot key, tray icon, this window. Other windows stay.
    void Shutdown();
    // The end asked for by another program (WM_CLOSE) or by the session (WM_ENDSESSION): hot key,
    // tray icon, this window, and the program ends with its other windows. Only Exit writes the
    // settings file, so this does not.
    void Quit();

    // The tray icon's notification (the mouse message in the low word of lParam): a right-button
    // press or a left double-click opens the popup menu at the mouse position.
    void Form_MouseMove(LPARAM lParam);

    HWND Window() const { return hwnd_; }
    HMENU PopupMenu() const { return mnuPopup; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(UINT id);
    static void HotKeyPressed();
    void CheckFormatItem(FormatMenu menu, litvorot::TextFormat format) override;
    void CheckDisplayStatusItem(bool checked) override;
    void OpenStatusDialog() override;
    void EnableUndoItem(bool enabled) override;

    HWND hwnd_ = nullptr;
    HWND imgSplash = nullptr;
    HMENU menuBar_ = nullptr;
    HMENU mnuPopup = nullptr;
    HICON imgSmallIcon = nullptr;
    litvorot::ClipboardWin32 clipboard_{nullptr};

    bool resident_ = false;
    bool shutDown_ = false;
    bool quitAsked_ = false;  // WM_CLOSE during the splash: the program ends when it is over
};
