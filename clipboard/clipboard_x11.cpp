#include "clipboard/clipboard_x11.h"

#include "clipboard/clipboard_qt.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QStringList>

namespace litvorot {

std::u16string X11Clipboard::GetClipboardText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return {};
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (data == nullptr) return {};
    // Pictures offer no text; asking for it would only give the empty string. The formats are
    // asked for once: QMimeData::hasText() asks twice (plain text, then URLs), and each question
    // to a clipboard owner that never answers costs Qt's whole clipboard timeout.
    const QStringList formats = data->formats();
    if (!formats.contains(QStringLiteral("text/plain")) &&
        !formats.contains(QStringLiteral("text/uri-list"))) {
        return {};
    }
    const QString text = data->text();
    return ClipboardTextFrom(text);
}

bool X11Clipboard::SetClipboardText(std::u16string_view text) {
    const std::u16string_view body = TextBeforeNul(text);
    if (body.empty()) return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->setText(QStringFrom(body), QClipboard::Clipboard);
    return true;
}

}  // namespace litvorot
