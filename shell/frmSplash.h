// The program's main window: shows the splash picture at start-up, then lives hidden as the
// owner of the tray icon, the popup menu and the hot key. It holds the three user settings, keeps
// the menu's check marks in step with them and carries out every menu command.
#pragma once

#include <QIcon>
#include <QSystemTrayIcon>
#include <QWidget>
#include <array>
#include <filesystem>

#include "clipboard/Clipboard.h"
#include "shell/modHotKey.h"
#include "tables/modTables.h"

class QAction;
class QLabel;
class QMenu;

class frmSplash : public QWidget {
    Q_OBJECT
  public:
    // `exeDir` is the executable's directory, `configHome` the user's config directory (for the
    // settings file when the executable's directory cannot be written).
    frmSplash(litvorot::Clipboard& clipboard, litvorot::HotKey& hotKey,
              std::filesystem::path exeDir, std::filesystem::path configHome);
    ~frmSplash() override;

    // Start-up: the splash picture for `splashSeconds`, then the tray icon, the letter tables,
    // the settings and the hot key.
    void Form_Load(int splashSeconds = 1);

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

    QIcon SmallIcon() const;
    QMenu* PopupMenu() const { return mnuPopup; }
    bool HotKeyRegistered() const { return hotKeyRegistered_; }

    // Menu commands.
    void mnuSourceTranslit_Click() { SetSourceFormat(litvorot::kTranslit); }
    void mnuSourceKOI8_Click() { SetSourceFormat(litvorot::kKoi8); }
    void mnuSourceCP1251_Click() { SetSourceFormat(litvorot::kCp1251); }
    void mnuSourceUnicode_Click() { SetSourceFormat(litvorot::kUnicode); }
    void mnuDestTranslit_Click() { SetDestFormat(litvorot::kTranslit); }
    void mnuDestKOI8_Click() { SetDestFormat(litvorot::kKoi8); }
    void mnuDestCP1251_Click() { SetDestFormat(litvorot::kCp1251); }
    void mnuDestUnicode_Click() { SetDestFormat(litvorot::kUnicode); }
    void mnuDisplayStatus_Click() { SetDisplayStatus(!DisplayStatus_); }
    // The conversion command; the hot key runs it too. A run asked for while one is in progress
    // (a message box is open inside it) follows when that one has finished.
    void mnuGo_Click();
    void mnuShowTable_Click();
    void mnuHelp_Click();
    void mnuAbout_Click();
    void mnuExit_Click() { Shutdown(); }

    // The exit sequence: settings file, hot key, tray icon, this window. Other windows stay.
    void Shutdown();

    // A click on the tray icon: only a right-button press and a left double-click open the menu.
    void TrayIcon_Activated(QSystemTrayIcon::ActivationReason reason);

    // The menu tree, named as the items are; public for tests.
    QMenu* mnuPopup = nullptr;
    QMenu* mnuOptions = nullptr;
    QMenu* mnuSource = nullptr;
    QMenu* mnuDest = nullptr;
    QAction* mnuSourceTranslit = nullptr;
    QAction* mnuSourceKOI8 = nullptr;
    QAction* mnuSourceCP1251 = nullptr;
    QAction* mnuSourceUnicode = nullptr;
    QAction* mnuDestTranslit = nullptr;
    QAction* mnuDestKOI8 = nullptr;
    QAction* mnuDestCP1251 = nullptr;
    QAction* mnuDestUnicode = nullptr;
    QAction* mnuDisplayStatus = nullptr;
    QAction* mnuGo = nullptr;
    QAction* mnuSep1 = nullptr;
    QAction* mnuShowTable = nullptr;
    QAction* mnuSep2 = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuExit = nullptr;

  signals:
    // Shutdown has finished; the program ends when its last visible window closes.
    void ShutdownDone();

  private:
    void BuildMenu();
    // The four items of a format submenu in TextFormat order (KOI8, CP 1251, Translit, Unicode).
    using FormatItems = std::array<QAction*, 4>;
    static void CheckFormat(const FormatItems& items, litvorot::TextFormat format);

    litvorot::Clipboard& clipboard_;
    litvorot::HotKey& hotKey_;
    std::filesystem::path exeDir_;
    std::filesystem::path configHome_;

    litvorot::TextFormat SourceFormat_ = 0;
    litvorot::TextFormat DestFormat_ = 0;
    bool DisplayStatus_ = false;

    QLabel* imgSplash = nullptr;
    QLabel* imgSmallIcon = nullptr;

    bool hotKeyRegistered_ = false;
    bool converting_ = false;
    int pendingConversions_ = 0;
    bool shutDown_ = false;
};
