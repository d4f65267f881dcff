// Clipboard text exchange: reading the clipboard's Unicode text as a whole and replacing the
// clipboard's contents with a text. Each platform supplies its own implementation.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace litvorot {

class Clipboard {
  public:
    virtual ~Clipboard() = default;

    // The clipboard's Unicode text followed by its terminating NUL unit, or the empty text when
    // nothing could be read (no text on the clipboard, only a picture or files, a busy clipboard).
    // A clipboard that holds the empty text gives a text of one NUL unit.
    virtual std::u16string GetClipboardText() = 0;

    // Puts `text`, up to its first NUL unit, on the clipboard as its only contents. True when the
    // hand-over completed. When that part of `text` is empty the clipboard is left exactly as it
    // was and the answer is false: writing the empty text would wipe a picture or files the user
    // copied.
    virtual bool SetClipboardText(std::u16string_view text) = 0;

    // Reads the clipboard's text as GetClipboardText does and hands it to `done`. A platform
    // that can wait for the clipboard's owner without holding up its event loop answers later,
    // from that loop; the others answer at once, before this returns. At most one read waits at
    // a time.
    virtual void ReadClipboardText(std::function<void(std::u16string)> done) {
        done(GetClipboardText());
    }
    // Gives up a read that still waits: its `done` is never called.
    virtual void AbandonClipboardRead() {}
};

// `text` up to its first NUL unit (all of it when it has none).
inline std::u16string_view TextBeforeNul(std::u16string_view text) {
    return text.substr(0, text.find(u'\0'));
}

}  // namespace litvorot
