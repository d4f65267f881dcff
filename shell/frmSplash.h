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
#include "shell/frmSplashBase.h"
#include "shell/modHotKey.h"
#include "tables/modTables.h"

class QAction;
class QLabel;
class QMenu;

class frmSplash : public QWidget, public frmSplashBase {
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

    QIcon SmallIcon() const;
    QMenu* PopupMenu() const { return mnuPopup; }
    bool HotKeyRegistered() const { return hotKeyRegistered_; }

    // Menu commands of this window; the settings' and Go are frmSplashBase's.
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
    QAction* mnuSourceAuto = nullptr;
    QAction* mnuDestTranslit = nullptr;
    QAction* mnuDestKOI8 = nullptr;
    QAction* mnuDestCP1251 = nullptr;
    QAction* mnuDestUnicode = nullptr;
    QAction* mnuDisplayStatus = nullptr;
    QAction* mnuGo = nullptr;
    QAction* mnuUndo = nullptr;
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
    void CheckFormatItem(FormatMenu menu, litvorot::TextFormat format) override;
    void CheckDisplayStatusItem(bool checked) override;
    void OpenStatusDialog() override;
    void EnableUndoItem(bool enabled) override;

    litvorot::HotKey& hotKey_;

    QLabel* imgSplash = nullptr;
    QLabel* imgSmallIcon = nullptr;

    bool hotKeyRegistered_ = false;
    bool shutDown_ = false;
};
