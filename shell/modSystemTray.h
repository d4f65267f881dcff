// The tray icon. Only a right-button press and a left double-click on it open the popup menu.
#pragma once

#include <QString>
#include <QSystemTrayIcon>

class frmSplash;

namespace litvorot {

// Adds the 16 x 16 program icon with the tip `tip`; its clicks go to `window`. Once only: a
// second call while the icon exists does nothing.
void AddTrayIcon(const QString& tip, frmSplash& window);

// Deletes the icon, if there is one.
void RemoveTrayIcon();

// The icon while it exists, else nullptr.
QSystemTrayIcon* TrayIcon();

// 2 for the activations that open the menu (right-button press, left double-click), else 0.
int TrayMouseMessage(QSystemTrayIcon::ActivationReason reason);

}  // namespace litvorot
