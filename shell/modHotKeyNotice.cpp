#include "shell/modHotKeyNotice.h"

#include <QLoggingCategory>
#include <QSystemTrayIcon>
#include <string_view>

#include "shell/modSystemTray.h"

namespace litvorot {

namespace {
// Silent unless asked for: QT_LOGGING_RULES="litvorot.hotkey=true".
Q_LOGGING_CATEGORY(lcHotKeyNotice, "litvorot.hotkey", QtWarningMsg)

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

QString HotKeyTakenTip() { return FromUtf8(kHotKeyTakenTip); }

QString HotKeyTakenMessage() { return FromUtf8(kHotKeyTakenMessage); }

void ReportHotKeyState(bool registered, const std::filesystem::path& noticeFile) {
    QSystemTrayIcon* icon = TrayIcon();
    if (!registered && icon == nullptr) return;  // nothing to tell it through
    const bool due = HotKeyNoticeDue(registered, noticeFile);
    if (registered) return;
    icon->setToolTip(HotKeyTakenTip());
    qCInfo(lcHotKeyNotice) << (due ? "the user is told that the key is taken"
                                   : "the user was told before that the key is taken");
    if (due) {
        icon->showMessage(FromUtf8(kHotKeyTakenTitle), HotKeyTakenMessage(),
                          QSystemTrayIcon::Warning);
    }
}

void ReportSelectionKeyState(bool registered, const std::filesystem::path& noticeFile) {
    const std::filesystem::path record =
        noticeFile.empty() ? noticeFile
                           : noticeFile.parent_path() / std::string(kSelectionKeyNoticeName);
    QSystemTrayIcon* icon = TrayIcon();
    if (!registered && icon == nullptr) return;
    const bool due = HotKeyNoticeDue(registered, record);
    if (registered) return;
    qCInfo(lcHotKeyNotice) << (due ? "the user is told that Shift+Pause is taken"
                                   : "the user was told before that Shift+Pause is taken");
    if (due) {
        icon->showMessage(FromUtf8(kSelectionKeyTakenTitle), FromUtf8(kSelectionKeyTakenMessage),
                          QSystemTrayIcon::Warning);
    }
}

}  // namespace litvorot
