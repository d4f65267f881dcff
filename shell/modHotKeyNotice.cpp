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

namespace {

// Tells the user once, through the tray, about something the record `name` beside `noticeFile`
// remembers having told, until `working` clears it.
void ReportOnce(bool working, const std::filesystem::path& noticeFile, std::string_view name,
                std::string_view what, std::string_view title, std::string_view message) {
    const std::filesystem::path record =
        noticeFile.empty() ? noticeFile : noticeFile.parent_path() / std::string(name);
    QSystemTrayIcon* icon = TrayIcon();
    if (!working && icon == nullptr) return;
    const bool due = HotKeyNoticeDue(working, record);
    if (working) return;
    qCInfo(lcHotKeyNotice).noquote()
        << (due ? "the user is told that" : "the user was told before that") << FromUtf8(what);
    if (due) icon->showMessage(FromUtf8(title), FromUtf8(message), QSystemTrayIcon::Warning);
}

}  // namespace

void ReportSelectionKeyState(bool registered, const std::filesystem::path& noticeFile) {
    ReportOnce(registered, noticeFile, kSelectionKeyNoticeName, "Shift+Pause is taken",
               kSelectionKeyTakenTitle, kSelectionKeyTakenMessage);
}

void ReportSelectionKeys(bool available, const std::filesystem::path& noticeFile) {
    ReportOnce(available, noticeFile, kNoKeysNoticeName, "keys cannot be sent to the windows",
               kNoKeysTitle, kNoKeysMessage);
}

}  // namespace litvorot
