// The clipboard on X11 (and under XWayland). Writing goes through Qt's clipboard; reading for a
// conversion asks the clipboard's owner through a connection of its own and waits for the answer
// in the event loop, so that an owner that never answers holds up nothing but that conversion.
#pragma once

#include <memory>

#include "clipboard/Clipboard.h"

namespace litvorot {

// Works on the CLIPBOARD selection. Needs a QGuiApplication.
class X11Clipboard final : public Clipboard {
  public:
    X11Clipboard();
    ~X11Clipboard() override;

    // Reads through Qt's clipboard, which waits for the owner inside this call.
    std::u16string GetClipboardText() override;
    bool SetClipboardText(std::u16string_view text) override;
    // Answers from the event loop, after at most kReadTimeoutMs without news from the owner
    // (with the empty text then). Files and pictures give the empty text, as in
    // GetClipboardText.
    void ReadClipboardText(std::function<void(std::u16string)> done) override;
    void AbandonClipboardRead() override;

    static constexpr int kReadTimeoutMs = 5000;

  private:
    class Reader;
    std::unique_ptr<Reader> reader_;
};

}  // namespace litvorot
