// A clipboard held in memory, counting its uses.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

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
    // With `answerLater` set a read waits, as for an owner that is slow to answer, until
    // Answer() gives it the content.
    bool answerLater = false;
    std::function<void(std::u16string)> waiting;
    int abandoned = 0;

    void ReadClipboardText(std::function<void(std::u16string)> done) override {
        if (!answerLater) return Clipboard::ReadClipboardText(std::move(done));
        if (waiting) throw std::logic_error("a second read while one waits");
        waiting = std::move(done);
    }
    void AbandonClipboardRead() override {
        if (waiting) ++abandoned;
        waiting = nullptr;
    }
    // Answers the waiting read; false when none waits.
    bool Answer() {
        if (!waiting) return false;
        auto done = std::exchange(waiting, nullptr);
        done(GetClipboardText());
        return true;
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
