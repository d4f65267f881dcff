#include "shell/modSystemTray.h"

#include <QIcon>
#include <QPointer>

#include "shell/frmSplash.h"

namespace litvorot {
namespace {
QPointer<QSystemTrayIcon> g_trayIcon;
}

void AddTrayIcon(const QString& tip, frmSplash& window) {
    if (g_trayIcon) return;
    g_trayIcon = new QSystemTrayIcon(window.SmallIcon(), &window);
    g_trayIcon->setToolTip(tip);
    QObject::connect(g_trayIcon.data(), &QSystemTrayIcon::activated, &window,
                     &frmSplash::TrayIcon_Activated);
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
