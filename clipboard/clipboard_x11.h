// The clipboard on X11 (and under XWayland). Writing goes through Qt's clipboard; reading for a
// conversion asks the clipboard's owner through a connection of its own and waits for the answer
// in the event loop, so that an owner that never answers holds up nothing but that conversion.
#pragma once

#include <functional>
#include <memory>

#include "clipboard/Clipboard.h"

namespace litvorot {

// Works on the CLIPBOARD selection. Needs a QGuiApplication.
class X11Clipboard final : public Clipboard {
  public:
    X11Clipboard();
    // A secret this program still serves is taken off the clipboard, so that it is not handed
    // to a clipboard manager when the program ends.
    ~X11Clipboard() override;

    // Reads through Qt's clipboard, which waits for the owner inside this call.
    std::u16string GetClipboardText() override;
    bool SetClipboardText(std::u16string_view text) override;

    // Asks the owner for its formats (TARGETS), then for the text in the best text format, and
    // answers from the event loop: the text, or why there is none. The text is taken only from
    // the owner whose formats were read: when the clipboard changes hands meanwhile, the read
    // starts again with the new owner. Bounded by `limits`: an owner silent for `idle`, a read
    // longer than `total` or a text over the size limit ends it (the latter two also cut an INCR
    // transfer). A connection to the display that was lost is opened again for the next read.
    void ReadClipboard(const ReadLimits& limits, std::function<void(ClipboardRead)> done) override;
    void AbandonClipboardRead() override;
    bool WriteClipboardText(std::u16string_view text, bool secret) override;
    void WatchOwnership(std::function<void()> lost) override;

  private:
    class Reader;
    std::unique_ptr<Reader> reader_;
    bool wroteSecret_ = false;  // what this program put on the clipboard is a secret
    std::function<void()> lost_;
};

}  // namespace litvorot
