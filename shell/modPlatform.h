// What the tray program's controller asks of the desktop it runs on. Each platform implements it
// once, in its main window (frmSplash.cpp for Qt on X11 and Wayland, frmSplash_win32.cpp for
// Windows); the tests implement it in memory. No toolkit types here.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "clipboard/Clipboard.h"
#include "shell/modHotKey.h"
#include "shell/modMenu.h"
#include "shell/modSelection.h"
#include "tables/modMessages.h"
#include "tables/modTables.h"
#include "windows/modWindows.h"

namespace litvorot {

// The windows the menu opens besides the status dialog.
using windows::AppWindow;

class Platform {
  public:
    virtual ~Platform() = default;

    virtual Clipboard& AppClipboard() = 0;
    virtual HotKey& AppHotKey() = 0;
    // Replacing the selection where it stands: the desktop's side of it and its hot key
    // (Shift+Pause). None where the platform cannot send keys to other windows.
    virtual SelectionDesktop* AppSelectionDesktop() { return nullptr; }
    virtual HotKey* AppSelectionHotKey() { return nullptr; }

    // The splash picture, centred on the screen, and its end.
    virtual void ShowSplash() = 0;
    virtual void HideSplash() = 0;
    // Waits `seconds` while window events go on being processed, on a monotonic clock. Zero or
    // less returns at once.
    virtual void Pause(int seconds) = 0;

    // The tray icon with the tip `tip`; its right-button press and left double-click open the
    // popup menu built from MenuItems(). Once only; removing it twice does nothing.
    virtual void AddTrayIcon(std::string_view tip) = 0;
    virtual void RemoveTrayIcon() = 0;

    // The popup menu's state, item by item.
    virtual void SetMenuItemChecked(const MenuItem& item, bool checked) = 0;
    virtual void SetMenuItemEnabled(const MenuItem& item, bool enabled) = 0;

    // `reading` names the reading the automatic source used, empty for the other sources.
    virtual void OpenStatusDialog(TextFormat source, TextFormat dest,
                                  const std::string& reading) = 0;
    virtual void OpenWindow(AppWindow window) = 0;

    // Where the settings file is, and whether it was read: for the maintainer's log.
    virtual void SettingsFileChosen(const std::filesystem::path& path, bool read) = 0;

    // A message the user must see ("Invalid table"), in a box with only OK. The controller calls
    // it once the step that raised it has finished; a platform may show it later still, from its
    // event loop. By default it goes to the message hook.
    virtual void ShowMessage(std::string_view text) { litvorot::ShowMessage(text); }
    // A short notice that asks for nothing (a tray notification): `title` and `text`.
    virtual void ShowNotice(std::string_view title, std::string_view text) {
        (void)title;
        (void)text;
    }
    // A replacement of the selection has ended, how (for the maintainer's log).
    virtual void SelectionReplaced(std::string_view outcome) { (void)outcome; }
    // Whether the hot key could be set up; the platform tells the user when another program
    // holds it.
    virtual void ReportHotKey(bool registered) { (void)registered; }
    // The same for the selection's hot key.
    virtual void ReportSelectionHotKey(bool registered) { (void)registered; }
    // Calls `callback` once, from the event loop, after `delay`. A platform without a timer never
    // calls it; the controller then checks its clock when it next acts.
    virtual void CallAfter(std::chrono::milliseconds delay, std::function<void()> callback) {
        (void)delay;
        (void)callback;
    }

    // The end of Exit: the main window goes; the program ends with its last other window.
    virtual void CloseMainWindow() = 0;
    // The end asked for by the system or another program: the program ends now, with its other
    // windows.
    virtual void EndProgram() = 0;
};

}  // namespace litvorot
