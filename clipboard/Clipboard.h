// Clipboard text exchange: reading the clipboard's Unicode text as a whole and replacing the
// clipboard's contents with a text. Each platform supplies its own implementation.
//
// The program reads in one way only, ReadClipboard: asynchronous, driven by the event loop, and
// bounded in time and size. It hands back the text with what is known of it (marked secret by a
// password manager, copied files, no text at all). Writing can carry the secret mark on.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace litvorot {

// How long a read waits for the clipboard's owner to say anything (the list of formats, the text
// or its next chunk) before it gives up.
inline constexpr std::chrono::milliseconds kClipboardIdleLimit{5000};
// How long a whole read may take, however often the owner answers: an owner that trickles its text
// a few bytes at a time does not hold a conversion for longer.
inline constexpr std::chrono::milliseconds kClipboardTotalLimit{10000};
// The largest clipboard text the tray program converts, in UTF-16 units (characters, but for the
// few outside the Basic Multilingual Plane): 16 Mi, above the 10 MB texts people copy from logs
// and dumps. Measured on a 2-core machine (bench/conversion_bench), a conversion of that size
// takes 0.18 s from Translit and up to 0.8 s from the automatic source, which scores every
// reading. Larger texts are left as they are, with a notice.
inline constexpr std::size_t kClipboardMaxUnits = std::size_t{16} << 20;

// The format (an X11 target, a Wayland MIME type) password managers add to what they copy, with
// the value kSecretValue; clipboard managers leave such a text out of their history.
inline constexpr char kSecretFormat[] = "x-kde-passwordManagerHint";
inline constexpr char kSecretValue[] = "secret";

struct ReadLimits {
    std::chrono::milliseconds idle = kClipboardIdleLimit;
    std::chrono::milliseconds total = kClipboardTotalLimit;
    std::size_t maxUnits = kClipboardMaxUnits;
    // The most bytes a reader takes from an owner for a text of `maxUnits`: UTF-8 needs at most
    // three bytes for a unit. Anything longer is over the limit whatever it decodes to.
    std::size_t MaxBytes() const { return maxUnits * 3 + 4; }
};

// What a read found.
struct ClipboardRead {
    enum class Result {
        kText,      // `text` holds the clipboard's text and its terminating NUL unit
        kNoText,    // nothing to read: an empty clipboard, a picture, only an empty text
        kFiles,     // files copied in a file manager (their names are no text to convert)
        kTooLarge,  // a text over the limit: nothing of it is kept
        kNoAnswer,  // the owner did not answer in time, or went away without answering
        kFailed,    // the clipboard could not be read (no connection to the display)
    };
    Result result = Result::kNoText;
    std::u16string text;
    // A password manager marked it (`x-kde-passwordManagerHint` = `secret` on X11 and Wayland;
    // Windows' ExcludeClipboardContentFromMonitorProcessing): the converted text is written back
    // with the mark, and nothing of it is kept longer than needed.
    bool secret = false;
    // What the user must see about this read ("Could not lock memory to copy string from."),
    // shown by the caller once the conversion has finished.
    std::string message;

    bool HasText() const { return result == Result::kText; }
};

// `text` up to its first NUL unit (all of it when it has none).
inline std::u16string_view TextBeforeNul(std::u16string_view text) {
    return text.substr(0, text.find(u'\0'));
}

class Clipboard {
  public:
    virtual ~Clipboard() = default;

    // The clipboard's Unicode text followed by its terminating NUL unit, or the empty text when
    // nothing could be read (no text on the clipboard, only a picture or files, a busy clipboard).
    // A clipboard that holds the empty text gives a text of one NUL unit. Waits for the owner
    // inside the call where the platform must: the program itself reads through ReadClipboard.
    virtual std::u16string GetClipboardText() = 0;

    // Puts `text`, up to its first NUL unit, on the clipboard as its only contents. True when the
    // hand-over completed. When that part of `text` is empty the clipboard is left exactly as it
    // was and the answer is false: writing the empty text would wipe a picture or files the user
    // copied.
    virtual bool SetClipboardText(std::u16string_view text) = 0;

    // Reads the clipboard and hands what was found to `done`: from the event loop on platforms
    // whose owners answer later, at once (before this returns) on the others. At most one read
    // waits at a time; a new one gives up the one that waits. `limits` bound the wait and the
    // size. The default reads through ReadClipboardText.
    virtual void ReadClipboard(const ReadLimits& limits, std::function<void(ClipboardRead)> done);

    // Gives up a read that still waits: its `done` is never called.
    virtual void AbandonClipboardRead() {}

    // Writes `text` as SetClipboardText does; with `secret` it carries the password managers'
    // mark, so that clipboard managers and clipboard histories leave it out.
    virtual bool WriteClipboardText(std::u16string_view text, bool secret);

    // Calls `lost` from the event loop whenever another program takes the clipboard from this
    // one, so that what this program wrote is no longer there. Platforms that cannot tell never
    // call it (the caller compares texts instead).
    virtual void WatchOwnership(std::function<void()> lost) { (void)lost; }

    // The older way to read, which ReadClipboard's default goes through: the text as
    // GetClipboardText gives it, handed to `done` at once or, by a platform that overrides it,
    // later from the event loop.
    virtual void ReadClipboardText(std::function<void(std::u16string)> done) {
        done(GetClipboardText());
    }
};

// Turns a text read whole (with its NUL, or empty for nothing) into what a read found, with the
// size limit applied.
ClipboardRead ReadOfText(std::u16string text, const ReadLimits& limits);

}  // namespace litvorot
