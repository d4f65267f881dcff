// Opens the secondary windows on a real display for the desktop tests and screenshots:
//   windows_driver [status:SOURCE:DEST] [table] [help] [about] [--no-owner]
// Each argument opens one window as the tray program's menu would. With --no-owner the driver
// also makes a hidden main window and destroys it once the windows are open, as Exit does. The
// driver ends when its last window is closed.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>

#include "windows/dlgStatus.h"
#include "windows/dlgTable.h"
#include "windows/frmAbout.h"
#include "windows/frmHelp.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("litvorot"));
    QApplication::setQuitOnLastWindowClosed(false);

    QStringList args = QApplication::arguments().mid(1);
    auto* mainWindow = new QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    const bool noOwner = args.removeAll(QStringLiteral("--no-owner")) > 0;

    for (const QString& arg : args) {
        const QStringList parts = arg.split(QLatin1Char(':'));
        if (parts[0] == QLatin1String("status") && parts.size() == 3) {
            dlgStatus::Open(static_cast<litvorot::TextFormat>(parts[1].toShort()),
                            static_cast<litvorot::TextFormat>(parts[2].toShort()));
        } else if (arg == QLatin1String("table")) {
            dlgTable::Open();
        } else if (arg == QLatin1String("help")) {
            frmHelp::Open();
        } else if (arg == QLatin1String("about")) {
            frmAbout::Open();
        } else {
            std::fprintf(stderr, "unknown window: %s\n", qPrintable(arg));
            return 2;
        }
    }
    if (noOwner) delete mainWindow;

    // From here on the driver ends with its last window, as the tray program does after Exit.
    QApplication::setQuitOnLastWindowClosed(true);
    std::printf("open\n");
    std::fflush(stdout);
    const int result = QApplication::exec();
    if (!noOwner) delete mainWindow;
    return result;
}
