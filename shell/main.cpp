// Litvorot, the tray program: converts Russian text on the clipboard when Ctrl+Space is pressed.
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "clipboard/clipboard_x11.h"
#include "shell/frmSplash.h"
#include "shell/modFileIO.h"
#include "shell/modHotKey.h"
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
    // The global hot key and the tray need X11; under Wayland the program runs through XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("litvorot"));
    // The main window is hidden, and a secondary window closing must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    litvorot::SetMessageHook(litvorot::windows::ShowMessageBox);

    // Log-out and Ctrl+C end the program in order (the clipboard goes to a clipboard manager),
    // without writing the settings file: only Exit writes it.
    bool quitRequested = false;
    litvorot::CallOnTerminationSignals([&quitRequested] {
        quitRequested = true;
        QCoreApplication::quit();
    });

    litvorot::X11Clipboard clipboard;
    std::unique_ptr<litvorot::HotKey> hotKey = litvorot::CreateAppHotKey();
    const std::filesystem::path exeDir(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    const std::filesystem::path configHome =
        litvorot::UserConfigHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));

    QPointer<frmSplash> form = new frmSplash(clipboard, *hotKey, exeDir, configHome);
    QObject::connect(form.data(), &frmSplash::ShutdownDone, &app, [&app] {
        // From now on the program ends with its last window, or at once when none is open.
        QApplication::setQuitOnLastWindowClosed(true);
        QTimer::singleShot(0, &app, [] {
            if (!AnyWindowVisible()) QCoreApplication::quit();
        });
    });
    form->Form_Load();

    const int result = quitRequested ? 0 : QApplication::exec();
    delete form.data();
    hotKey.reset();
    litvorot::SetMessageHook({});
    return result;
}
