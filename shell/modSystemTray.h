// The tray icon. Only a right-button press and a left double-click on it open the popup menu.
#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

namespace litvorot {

// Adds `icon` (16 x 16) with the tip `tip`, owned by `window`; its clicks go to `onActivated`.
// Once only: a second call while the icon exists does nothing.
void AddTrayIcon(const QString& tip, const QIcon& icon, QObject& window,
                 std::function<void(QSystemTrayIcon::ActivationReason)> onActivated);

// Deletes the icon, if there is one.
void RemoveTrayIcon();

// The icon while it exists, else nullptr.
QSystemTrayIcon* TrayIcon();

// 2 for the activations that open the menu (right-button press, left double-click), else 0.
int TrayMouseMessage(QSystemTrayIcon::ActivationReason reason);

}  // namespace litvorot
