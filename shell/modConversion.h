// The conversion command's steps, shared by every front end: read the clipboard, convert the
// text, write it back. No Qt here.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "clipboard/Clipboard.h"
#include "tables/modTables.h"

namespace litvorot {

struct ConversionResult {
    bool written = false;     // the clipboard now holds the converted text
    bool openStatus = false;  // the caller opens the status dialog
    // With `written`: the text the conversion replaced and the text it wrote (no NUL), for Undo.
    std::u16string before;
    std::u16string after;
    // The automatic source: the name of the reading written ("UTF-8 read as CP 1251").
    std::string reading;
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

// How long after a press of the automatic source the next one moves on to the next reading.
inline constexpr std::chrono::seconds kAutoCycleTime{5};

// What the automatic source remembers between presses: the text it started from and the texts
// it may write, the likeliest first and the original last.
struct AutoCycle {
    struct Choice {
        std::u16string text;
        std::string reading;
    };
    std::u16string original;      // the clipboard text of the first press (no NUL)
    std::vector<Choice> choices;  // ends with the original
    std::size_t next = 0;         // the choice the next press writes
    std::u16string written;       // what the last press wrote (no NUL); empty: no cycle
    std::chrono::steady_clock::time_point when;

    void Reset() { *this = AutoCycle(); }
};

// The automatic source: a press within kAutoCycleTime of the last one, while the clipboard still
// holds what that one wrote, writes the next choice of `cycle` (after the last, the original,
// then the first again); any other press starts a new cycle from the clipboard's text and writes
// its likeliest reading in `dest`. Messages, failures and the status dialog as ConvertAndWrite;
// `text` is what was read from `clipboard`.
ConversionResult AutoConvertAndWrite(Clipboard& clipboard, const std::u16string& text,
                                     TextFormat dest, bool displayStatus, AutoCycle& cycle,
                                     std::chrono::steady_clock::time_point now);

}  // namespace litvorot
