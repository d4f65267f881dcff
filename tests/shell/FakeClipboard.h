// A clipboard held in memory, counting its uses.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "clipboard/Clipboard.h"

namespace litvorot::test {

class FakeClipboard : public Clipboard {
  public:
    // What GetClipboardText gives: the text and its NUL, or the empty text when nothing is there.
    std::u16string content;
    // Stays unset until SetClipboardText writes.
    std::optional<std::u16string> written;
    int reads = 0;
    int writes = 0;
    std::function<void()> onRead;  // runs inside GetClipboardText

    void Put(std::u16string_view text) { content = std::u16string(text) + u'\0'; }

    std::u16string GetClipboardText() override {
        ++reads;
        if (onRead) onRead();
        return content;
    }
    bool SetClipboardText(std::u16string_view text) override {
        const std::u16string_view body = TextBeforeNul(text);
        if (body.empty()) return false;
        ++writes;
        written = std::u16string(body);
        content = std::u16string(body) + u'\0';
        return true;
    }
};

}  // namespace litvorot::test
