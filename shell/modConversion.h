// The conversion command's steps, shared by every front end: read the clipboard, convert the
// text, write it back. No Qt here.
#pragma once

#include <string>

#include "clipboard/Clipboard.h"
#include "tables/modTables.h"

namespace litvorot {

struct ConversionResult {
    bool written = false;     // the clipboard now holds the converted text
    bool openStatus = false;  // the caller opens the status dialog
};

// Reads the clipboard's text, converts it from `source` to `dest` and writes it back. When
// nothing could be read the clipboard is left exactly as it was. A conversion that fails (it
// throws) writes nothing: the failure is shown as a message and no status dialog follows.
// Otherwise the status dialog opens exactly when `displayStatus` is set.
ConversionResult RunConversion(Clipboard& clipboard, TextFormat source, TextFormat dest,
                               bool displayStatus);

// The same for a text already read from `clipboard` (empty when nothing could be read).
ConversionResult ConvertAndWrite(Clipboard& clipboard, std::u16string text, TextFormat source,
                                 TextFormat dest, bool displayStatus);

}  // namespace litvorot
