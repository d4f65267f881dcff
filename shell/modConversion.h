// The conversion of one clipboard text, as a step without side effects: the text, the formats and
// the automatic source's cycle go in; the text to write, its reading, the cycle as it will be once
// that text is written, and the messages raised on the way come out. The controller reads the
// clipboard, runs the step, writes and shows. No Qt here.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "clipboard/Clipboard.h"
#include "tables/modTables.h"

namespace litvorot {

// How long after a press of the automatic source the next one moves on to the next reading.
inline constexpr std::chrono::seconds kAutoCycleTime{5};

// What the automatic source remembers between presses: the text its first press started from, the
// format it writes in, which of the texts it may write (the likeliest reading first, the original
// last) the next press writes, and what the last one wrote. The texts themselves are made again
// when a press needs them, so that a long text costs no more memory than itself and the one
// written.
struct AutoCycle {
    std::u16string original;  // the clipboard text of the first press (no NUL)
    TextFormat dest = 0;
    std::size_t count = 0;   // the texts the cycle goes through, the original included
    std::size_t next = 0;    // the one the next press writes
    std::u16string written;  // what the last press wrote (no NUL); empty: no cycle
    std::chrono::steady_clock::time_point when;

    bool Active() const { return !written.empty(); }
    void Reset() { *this = AutoCycle(); }
};

struct ConversionStep {
    enum class Outcome {
        kWrite,    // write `text`
        kNothing,  // nothing to convert (no text): the clipboard stays
        kFailed,   // the conversion failed: the clipboard stays, `messages` say why
    };
    Outcome outcome = Outcome::kNothing;
    std::u16string text;    // kWrite: the converted text (no NUL)
    std::u16string before;  // kWrite: what Undo puts back (for Auto, the cycle's original)
    std::string reading;    // the automatic source: the name of the reading written
    AutoCycle cycle;        // the cycle once `text` is written (reset for the other sources)
    std::vector<std::string> messages;  // raised while converting, to be shown afterwards
};

// Converts the clipboard text `text` (with its terminating NUL; empty when nothing was read) from
// `source` to `dest`. For the automatic source (kAuto) a press within kAutoCycleTime of the last
// one, while the clipboard still holds what that one wrote, moves `cycle` on to its next text
// (after the last, the original, then the first again); any other press starts a new cycle.
// Messages ("Invalid table") are kept in the result, never shown from inside the step.
ConversionStep ConvertClipboardText(const std::u16string& text, TextFormat source, TextFormat dest,
                                    const AutoCycle& cycle,
                                    std::chrono::steady_clock::time_point now);

}  // namespace litvorot
