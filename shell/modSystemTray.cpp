#include "shell/modSystemTray.h"

#include <QPointer>

#include <utility>

namespace litvorot {
namespace {
QPointer<QSystemTrayIcon> g_trayIcon;
}

void AddTrayIcon(const QString& tip, const QIcon& icon, QObject& window,
                 std::function<void(QSystemTrayIcon::ActivationReason)> onActivated) {
    if (g_trayIcon) return;
    g_trayIcon = new QSystemTrayIcon(icon, &window);
    g_trayIcon->setToolTip(tip);
    QObject::connect(g_trayIcon.data(), &QSystemTrayIcon::activated, &window,
                     std::move(onActivated));
    // Without a tray host the icon waits and appears as soon as one starts.
    g_trayIcon->show();
}

void RemoveTrayIcon() {
    if (!g_trayIcon) return;
    g_trayIcon->hide();
    delete g_trayIcon.data();
}

QSystemTrayIcon* TrayIcon() { return g_trayIcon.data(); }

int TrayMouseMessage(QSystemTrayIcon::ActivationReason reason) {
    // Context is the right button going down; Trigger (a single left click) and MiddleClick
    // do nothing.
    return reason == QSystemTrayIcon::Context || reason == QSystemTrayIcon::DoubleClick ? 2 : 0;
}

}  // namespace litvorot
