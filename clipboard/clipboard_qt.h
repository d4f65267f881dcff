// Clipboard texts to and from Qt's strings, for the clipboards that go through Qt.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace litvorot {

// `text` as a clipboard text: its UTF-16 units and the terminating NUL unit.
inline std::u16string ClipboardTextFrom(const QString& text) {
    std::u16string result(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
    result.push_back(u'\0');
    return result;
}

inline QString QStringFrom(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

}  // namespace litvorot
