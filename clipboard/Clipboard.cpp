#include "clipboard/Clipboard.h"

#include <utility>

namespace litvorot {

ClipboardRead ReadOfText(std::u16string text, const ReadLimits& limits) {
    ClipboardRead read;
    const std::size_t body = TextBeforeNul(text).size();
    if (body == 0) return read;  // nothing there, or only the empty text
    if (body > limits.maxUnits) {
        read.result = ClipboardRead::Result::kTooLarge;
        return read;
    }
    read.result = ClipboardRead::Result::kText;
    read.text = std::move(text);
    return read;
}

void Clipboard::ReadClipboard(const ReadLimits& limits, std::function<void(ClipboardRead)> done) {
    ReadClipboardText([limits, done = std::move(done)](std::u16string text) {
        done(ReadOfText(std::move(text), limits));
    });
}

bool Clipboard::WriteClipboardText(std::u16string_view text, bool) {
    return SetClipboardText(text);
}

}  // namespace litvorot
