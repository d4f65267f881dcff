// The program's main window on Windows: shows the splash picture at start-up, then lives hidden
// as the owner of the tray icon, the popup menu and the hot key. It holds the three user
// settings, keeps the menu's check marks in step with them and carries out every menu command.
#pragma once

#include <windows.h>

#include <array>
#include <filesystem>

#include "clipboard/clipboard_win32.h"
#include "tables/modTables.h"

class frmSplash {
  public:
    // `exeDir` is the directory that holds the executable (and settings.ini).
    explicit frmSplash(std::filesystem::path exeDir);
    ~frmSplash();
    frmSplash(const frmSplash&) = delete;
    frmSplash& operator=(const frmSplash&) = delete;

    // The one main window, or nullptr.
    static frmSplash* Current();

    // Start-up: the splash picture for `splashSeconds`, then the tray icon, the letter tables,
    // the settings and the hot key. False when the window could not be created.
    bool Form_Load(int splashSeconds = 1);

    void SetSourceFormat(litvorot::TextFormat format);
    void SetDestFormat(litvorot::TextFormat format);
    void SetDisplayStatus(bool flag);
    litvorot::TextFormat SourceFormat() const { return SourceFormat_; }
    litvorot::TextFormat DestFormat() const { return DestFormat_; }
    bool DisplayStatus() const { return DisplayStatus_; }

    // Applies the settings file; false when there is none. A file that ends early or holds a bad
    // line applies the lines before it, gives the rest their defaults and says so in a message.
    bool ReadSettings();
    // Writes the settings file; a failure is shown in a message naming the path and the reason.
    bool SaveSettings();
    std::filesystem::path SettingsFilePath() const;

    // The conversion command; the hot key runs it too. A run asked for while one is in progress
    // (a message box is open inside it) follows when that one has finished.
    void mnuGo_Click();
    void mnuShowTable_Click();
    void mnuHelp_Click();
    void mnuAbout_Click();
    void mnuExit_Click() { Shutdown(); }

    // The exit sequence: settings file, hot key, tray icon, this window. Other windows stay.
    void Shutdown();

    // The tray icon's notification (the mouse message in the low word of lParam): a right-button
    // press or a left double-click opens the popup menu at the mouse position.
    void Form_MouseMove(LPARAM lParam);

    HWND Window() const { return hwnd_; }
    HMENU PopupMenu() const { return mnuPopup; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(UINT id);
    static void HotKeyPressed();
    // Checks the item of `format` among `items` (TextFormat order: KOI8, CP 1251, Translit,
    // Unicode) and unchecks the others; a code outside 1..4 changes nothing.
    void CheckFormat(const std::array<UINT, 4>& items, litvorot::TextFormat format);

    std::filesystem::path exeDir_;
    HWND hwnd_ = nullptr;
    HWND imgSplash = nullptr;
    HMENU menuBar_ = nullptr;
    HMENU mnuPopup = nullptr;
    HICON imgSmallIcon = nullptr;
    litvorot::ClipboardWin32 clipboard_{nullptr};

    litvorot::TextFormat SourceFormat_ = 0;
    litvorot::TextFormat DestFormat_ = 0;
    bool DisplayStatus_ = false;

    bool converting_ = false;
    int pendingConversions_ = 0;
    bool resident_ = false;
    bool shutDown_ = false;
};
