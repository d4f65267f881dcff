#include "shell/modHotKeyNotice.h"

#include <QLoggingCategory>
#include <QSystemTrayIcon>
#include <fstream>
#include <system_error>

#include "shell/modSystemTray.h"

namespace litvorot {

namespace {
// Silent unless asked for: QT_LOGGING_RULES="litvorot.hotkey=true".
Q_LOGGING_CATEGORY(lcHotKeyNotice, "litvorot.hotkey", QtWarningMsg)
}  // namespace

QString HotKeyTakenTip() {
    return QStringLiteral("Litvorot: Ctrl+Space is taken, use litvorot --go");
}

QString HotKeyTakenMessage() {
    return QStringLiteral(
        "Another program holds Ctrl+Space, so it cannot convert the clipboard. The tray menu's "
        "Go still works, and a desktop shortcut can run: litvorot --go");
}

bool HotKeyNoticeDue(bool registered, const std::filesystem::path& noticeFile) {
    std::error_code ec;
    if (registered) {
        if (!noticeFile.empty()) std::filesystem::remove(noticeFile, ec);
        return false;
    }
    if (noticeFile.empty()) return true;
    if (std::filesystem::exists(noticeFile, ec)) return false;
    std::filesystem::create_directories(noticeFile.parent_path(), ec);
    std::ofstream(noticeFile) << "Ctrl+Space was taken by another program\n";
    return true;
}

std::filesystem::path HotKeyNoticeFile(const char* xdgStateHome, const char* home) {
    std::filesystem::path base;
    if (xdgStateHome != nullptr && *xdgStateHome == '/') {
        base = xdgStateHome;
    } else if (home != nullptr && *home == '/') {
        base = std::filesystem::path(home) / ".local" / "state";
    } else {
        return {};
    }
    return base / "litvorot" / "hotkey-taken";
}

void ReportHotKeyState(bool registered, const std::filesystem::path& noticeFile) {
    QSystemTrayIcon* icon = TrayIcon();
    if (!registered && icon == nullptr) return;  // nothing to tell it through
    const bool due = HotKeyNoticeDue(registered, noticeFile);
    if (registered) return;
    icon->setToolTip(HotKeyTakenTip());
    qCInfo(lcHotKeyNotice) << (due ? "the user is told that the key is taken"
                                   : "the user was told before that the key is taken");
    if (due) {
        icon->showMessage(QStringLiteral("Litvorot: Ctrl+Space is taken"), HotKeyTakenMessage(),
                          QSystemTrayIcon::Warning);
    }
}

}  // namespace litvorot
