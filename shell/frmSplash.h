// The program's main window with Qt (X11, and Wayland through XWayland): shows the splash picture
// at start-up, then lives hidden as the owner of the tray icon and the popup menu. It is the
// controller's platform: the controller (frmSplashBase) holds the settings and carries out the
// commands; this window does what only Qt can.
#pragma once

#include <QIcon>
#include <QSystemTrayIcon>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "clipboard/Clipboard.h"
#include "shell/frmSplashBase.h"
#include "shell/modHotKey.h"
#include "shell/modPlatform.h"
#include "shell/modSelection.h"
#include "tables/modTables.h"
#include "windows/modWindows.h"

class QAction;
class QLabel;
class QMenu;

class frmSplash : public QWidget, public frmSplashBase {
    Q_OBJECT
  public:
    // `exeDir` is the executable's directory, `configHome` the user's config directory (for the
    // settings file when the executable's directory cannot be written), `hotKeyNoticeFile` the
    // note that the user was told Ctrl+Space is taken (empty: told at every start).
    // `selection` and `selectionKey` replace the selection where it stands (none: not offered).
    frmSplash(litvorot::Clipboard& clipboard, litvorot::HotKey& hotKey,
              std::filesystem::path exeDir, std::filesystem::path configHome,
              std::filesystem::path hotKeyNoticeFile = {},
              litvorot::SelectionDesktop* selection = nullptr,
              litvorot::HotKey* selectionKey = nullptr);
    ~frmSplash() override;

    QIcon SmallIcon() const;
    QMenu* PopupMenu() const { return mnuPopup; }

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
    // What the controller asks of Qt: this window's parts, Qt's clipboard, the tray.
    class Desktop;
    frmSplash(std::unique_ptr<Desktop> desktop, std::filesystem::path exeDir,
              std::filesystem::path configHome);

    // The menu from the one menu table.
    void BuildMenu();

    std::unique_ptr<Desktop> desktop_;
    QLabel* imgSplash = nullptr;
    QLabel* imgSmallIcon = nullptr;
};
