// Litvorot, the tray program: converts Russian text on the clipboard when Ctrl+Space is pressed.
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "clipboard/clipboard_wayland.h"
#include "clipboard/clipboard_x11.h"
#include "shell/frmSplash.h"
#include "shell/modCommandLine.h"
#include "shell/modDisplay.h"
#include "shell/modFileIO.h"
#include "shell/modHotKey.h"
#include "shell/modHotKeyNotice.h"
#include "shell/modHotKey_portal.h"
#include "shell/modKeySender.h"
#include "shell/modRemote.h"
#include "shell/modRestoreToken.h"
#include "shell/modSelection_wayland.h"
#include "shell/modSelection_x11.h"
#include "shell/modSignals.h"
#include "tables/modMessages.h"
#include "windows/modWindowHelpers.h"

namespace {

// A window the user still sees (menus and tool tips do not count).
bool AnyWindowVisible() {
    const auto widgets = QApplication::topLevelWidgets();
    for (const QWidget* widget : widgets) {
        const Qt::WindowType type = widget->windowType();
        if (widget->isVisible() && type != Qt::Popup && type != Qt::ToolTip) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Options drive the program that already runs; they need no display.
    const litvorot::CommandLine commandLine = litvorot::ParseCommandLine(argc, argv);
    if (commandLine.exitStatus) {
        std::cout << commandLine.output;
        std::cerr << commandLine.error;
        return *commandLine.exitStatus;
    }
    if (commandLine.remote.Any()) {
        QCoreApplication client(argc, argv);
        return litvorot::SendRemoteCommand(commandLine.remote);
    }

    // X11 where there is an X server (XWayland on Wayland desktops): the global hot key, the
    // windows' places and the X11 clipboard work there. A Wayland session without XWayland whose
    // compositor offers data-control runs natively: the clipboard through data-control, the tray
    // icon through StatusNotifierItem, the hot keys through the desktop portal.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const std::string problem = litvorot::CheckX11Display();
        if (problem.empty()) {
            qputenv("QT_QPA_PLATFORM", "xcb");
        } else if (litvorot::WaylandOffersDataControl()) {
            qputenv("QT_QPA_PLATFORM", "wayland");
        } else {
            std::cerr << problem << '\n';
            return 1;
        }
    } else if (qgetenv("QT_QPA_PLATFORM") == "xcb") {
        if (const std::string problem = litvorot::CheckX11Display(); !problem.empty()) {
            std::cerr << problem << '\n';
            return 1;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("litvorot"));
    // The main window is hidden, and a secondary window closing must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    litvorot::SetMessageHook(litvorot::windows::ShowMessageBox);

    // One program per session: the session bus name is the lock.
    litvorot::RemoteControl remote;
    switch (remote.ClaimSession()) {
        case litvorot::RemoteControl::Claim::Owned:
            break;
        case litvorot::RemoteControl::Claim::AlreadyRunning:
            std::cerr << "litvorot: Litvorot already runs in this session; this copy ends\n";
            return 0;
        case litvorot::RemoteControl::Claim::NoBus:
            std::cerr << "litvorot: no session D-Bus: 'litvorot --go' cannot reach this program, "
                         "and another copy can start beside it\n";
            break;
    }

    // The Wayland clipboard where the compositor offers data-control, else X11's (or XWayland's).
    // (ext-data-control or wlr-data-control), with X11's standing in while the compositor
    // restarts or has withdrawn it.
    std::unique_ptr<litvorot::Clipboard> clipboard = litvorot::ConnectWaylandClipboard();
    const bool waylandClipboard = clipboard != nullptr;
    if (waylandClipboard) {
        clipboard = litvorot::SessionClipboard(std::move(clipboard),
                                               std::make_unique<litvorot::X11Clipboard>());
    } else {
        clipboard = std::make_unique<litvorot::X11Clipboard>();
    }
    // Through the desktop portal on Wayland desktops that offer global shortcuts, else X11's.
    std::unique_ptr<litvorot::HotKey> hotKey = litvorot::CreateSessionHotKey();
    // Replacing the selection where it stands, with its own hot key Shift+Pause. Where the
    // clipboard is data-control's, the clipboard is kept on the Wayland side (the X11 clipboard
    // does not see it whole) and the keys go through the virtual keyboard or the portal's remote
    // desktop; where it is X11's, through X11, the keys through XTEST, and in a Wayland session
    // (GNOME) through the portal to Wayland windows, which XTEST does not reach.
    const std::filesystem::path noticeFile =
        litvorot::HotKeyNoticeFile(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    const std::filesystem::path tokenFile =
        noticeFile.empty() ? noticeFile
                           : noticeFile.parent_path() / std::string(litvorot::kRestoreTokenName);
    auto reportKeys = [noticeFile](bool available) {
        litvorot::ReportSelectionKeys(available, noticeFile);
    };
    std::unique_ptr<litvorot::SelectionDesktop> selection;
    if (waylandClipboard) {
        selection = litvorot::ConnectWaylandSelectionDesktop(
            litvorot::CreateSessionKeySender(tokenFile), reportKeys);
    } else if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        selection = litvorot::ConnectX11SelectionDesktop(litvorot::CreatePortalKeySender(tokenFile),
                                                         reportKeys);
    } else {
        selection = litvorot::ConnectX11SelectionDesktop();
    }
    std::unique_ptr<litvorot::HotKey> selectionKey =
        selection ? litvorot::CreateSessionHotKey() : nullptr;
    const std::filesystem::path exeDir(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    const std::filesystem::path configHome =
        litvorot::UserConfigHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));

    QPointer<frmSplash> form;
    // Log-out and Ctrl+C end the program as the system's end does (the controller's Quit: the hot
    // key and the tray icon go, a waiting conversion is given up, the clipboard goes to a
    // clipboard manager), without writing the settings file: only Exit writes it.
    bool quitRequested = false;
    litvorot::CallOnTerminationSignals([&form, &quitRequested] {
        quitRequested = true;
        if (form) {
            form->Quit();
        } else {
            QCoreApplication::quit();  // after Exit, with a secondary window still open
        }
    });

    form = new frmSplash(*clipboard, *hotKey, exeDir, configHome, noticeFile, selection.get(),
                         selectionKey.get());
    QObject::connect(form.data(), &frmSplash::ShutdownDone, &remote,
                     &litvorot::RemoteControl::Release, Qt::QueuedConnection);
    QObject::connect(form.data(), &frmSplash::ShutdownDone, &app, [&app] {
        // From now on the program ends with its last window, or at once when none is open.
        QApplication::setQuitOnLastWindowClosed(true);
        QTimer::singleShot(0, &app, [] {
            if (!AnyWindowVisible()) QCoreApplication::quit();
        });
    });
    form->Form_Load();
    if (form && !form->ShuttingDown()) remote.Serve(*form);

    const int result = quitRequested ? 0 : QApplication::exec();
    delete form.data();
    selectionKey.reset();
    selection.reset();
    hotKey.reset();
    litvorot::SetMessageHook({});
    return result;
}
