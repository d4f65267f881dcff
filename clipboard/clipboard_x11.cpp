#include "clipboard/clipboard_x11.h"

#include "clipboard/clipboard_qt.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QStringList>

namespace litvorot {
namespace {

// Copied (or cut) files: a URI list, or a file manager's own list of them.
bool OffersFiles(const QStringList& formats) {
    return formats.contains(QStringLiteral("text/uri-list")) ||
           formats.contains(QStringLiteral("x-special/gnome-copied-files")) ||
           formats.contains(QStringLiteral("application/x-kde-cutselection"));
}

}  // namespace

std::u16string X11Clipboard::GetClipboardText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return {};
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (data == nullptr) return {};
    // Pictures offer no text; asking for it would only give the empty string. Copied files
    // (a file manager offers a URI list, often with a plain-text list of their paths beside it)
    // count as no text either: writing the converted paths back would replace the files. The
    // formats are asked for once: each question to a clipboard owner that never answers costs
    // Qt's whole clipboard timeout.
    const QStringList formats = data->formats();
    if (!formats.contains(QStringLiteral("text/plain")) || OffersFiles(formats)) return {};
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
