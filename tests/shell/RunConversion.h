// The whole conversion command on a clipboard that answers at once, in one call: read, convert,
// write. The tray program reads asynchronously through its controller; the tests of the
// conversion's steps run it on a clipboard in memory.
#pragma once

#include <chrono>
#include <string>

#include "shell/modConversion.h"
#include "tables/modMessages.h"

namespace litvorot {

struct ConversionResult {
    bool written = false;     // the clipboard now holds the converted text
    bool openStatus = false;  // the caller opens the status dialog
};

inline ConversionResult RunConversion(Clipboard& clipboard, TextFormat source, TextFormat dest,
                                      bool displayStatus) {
    ConversionResult result;
    const ConversionStep step =
        ConvertClipboardText(clipboard.GetClipboardText(), source, dest, AutoCycle(),
                             std::chrono::steady_clock::now());
    for (const std::string& message : step.messages) ShowMessage(message);
    if (step.outcome == ConversionStep::Outcome::kFailed) return result;
    if (step.outcome == ConversionStep::Outcome::kWrite) {
        result.written = clipboard.SetClipboardText(step.text);
    }
    result.openStatus = displayStatus;
    return result;
}

}  // namespace litvorot
