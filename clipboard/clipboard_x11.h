// The clipboard on X11 (and under XWayland), reached through Qt's clipboard.
#pragma once

#include "clipboard/Clipboard.h"

namespace litvorot {

// Works on the CLIPBOARD selection in Qt's text format. Needs a QGuiApplication.
class X11Clipboard final : public Clipboard {
  public:
    std::u16string GetClipboardText() override;
    bool SetClipboardText(std::u16string_view text) override;
};

}  // namespace litvorot
