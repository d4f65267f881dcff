// Replacing the selected text where it stands: the text selected in the window in front is
// converted and put in its place, and the user's clipboard is afterwards exactly what it was.
//
// The sequence is written once, here, free of any toolkit:
//
//   wait for the hot key's modifiers to be let go    (a Shift still held turns Ctrl+C into
//                                                     Ctrl+Shift+C, which many programs ignore)
//   keep the clipboard, every format of it            (to put back at the end)
//   copy the selection, known from the clipboard's own signal that it changed hands
//                                                     (never a fixed sleep; nothing selected:
//                                                     nothing changes hands, and nothing is done)
//   read it, convert it                               (as Ctrl+Space does, Auto's cycle included)
//   put the result on the clipboard, marked so that clipboard managers skip it, and paste
//   when the window has fetched it, put the clipboard back (not when another program took the
//                                                     clipboard meanwhile)
//   select the pasted text again, where the window allows it (a second press cycles Auto's
//                                                     readings; the window's own undo still works)
//
// Each platform gives a SelectionDesktop: the window in front, the keys, the clipboard's signals
// and the keeping and putting back of the whole clipboard.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "clipboard/Clipboard.h"
#include "shell/modConversion.h"

namespace litvorot {

// The most kept of the user's clipboard while the selection is replaced (all its formats
// together: four times the largest text converted, in UTF-16, which leaves room for its other
// forms and for a screenshot's picture); more is not kept, and the selection is not replaced.
inline constexpr std::size_t kMaxKeptBytes = std::size_t{64} << 20;
// How long the clipboard's owner may take for each format when it is kept.
inline constexpr std::chrono::milliseconds kKeepFormatLimit{2000};

// The window that has the keyboard focus, as replacing its selection needs to know it.
struct FrontWindow {
    bool exists = false;
    // Terminals copy and paste with Ctrl+Shift+C and Ctrl+Shift+V, and cannot select by keys.
    bool terminal = false;
    // False where the window takes no synthetic keys from this program (on Windows, a program of
    // a higher integrity level: one run as administrator).
    bool acceptsKeys = true;
    std::string name;  // its class, for logs
};

// What replacing the selection asks of the desktop. Every call answers from the event loop (or at
// once); the sequence makes one call at a time.
class SelectionDesktop {
  public:
    virtual ~SelectionDesktop() = default;

    virtual FrontWindow Front() = 0;

    // `done(true)` once keys can be sent to the window in front, `done(false)` when this desktop
    // gives the program no way to (a Wayland desktop without a virtual keyboard, whose remote
    // desktop portal is missing or was refused): then nothing is done, and the desktop has told
    // the user what still works. A desktop that must ask the user first asks here. Most can
    // always send keys.
    virtual void PrepareKeys(std::function<void(bool)> done) { done(true); }

    // `done(true)` once the modifier keys are up (the hot key's Shift, a shortcut's Ctrl or
    // Alt), `done(false)` after `limit` with some still held. Keys sent afterwards go out as if
    // none were held: one still held is let go around them and pressed again after, so that the
    // keyboard is left as the user holds it.
    virtual void WaitForModifiersUp(std::chrono::milliseconds limit,
                                    std::function<void(bool)> done) = 0;

    // Keeps every format the clipboard holds now (an empty clipboard too), to be put back by
    // RestoreClipboard. `done(false)` when it cannot be kept whole (its owner does not answer,
    // more than the program keeps): then nothing else is done.
    virtual void KeepClipboard(std::function<void(bool)> done) = 0;

    // Sends `window` its copy command and answers `done(true)` when the clipboard has changed
    // hands since (the clipboard's own signal), `done(false)` after `limit` without a change:
    // nothing was selected.
    virtual void Copy(const FrontWindow& window, std::chrono::milliseconds limit,
                      std::function<void(bool)> done) = 0;

    enum class PasteResult {
        kFetched,   // the window asked for the text and has it
        kTimedOut,  // it did not ask within the limit
        kTaken,     // another program took the clipboard before the window asked
    };
    // Puts `text` on the clipboard, marked so that clipboard managers leave it out, sends `window`
    // its paste command and answers once the window has fetched the text, or after `limit`.
    virtual void Paste(const FrontWindow& window, std::u16string_view text,
                       std::chrono::milliseconds limit, std::function<void(PasteResult)> done) = 0;

    // Puts back what KeepClipboard kept, every format of it (or empties the clipboard, when it was
    // empty), unless another program has taken the clipboard since Paste; then forgets it.
    virtual void RestoreClipboard() = 0;
    // Forgets what KeepClipboard kept, the clipboard left as it is.
    virtual void DropKeptClipboard() = 0;

    // Selects the `characters` characters before the cursor (Shift+Left), where `window` allows
    // it.
    virtual void SelectBack(const FrontWindow& window, std::size_t characters) = 0;
};

// The sequence. Owned by the controller, which runs one replacement at a time among its
// conversions.
class SelectionReplacer {
  public:
    enum class Outcome {
        kReplaced,
        kNothingSelected,  // nothing changed hands on copy: nothing was done
        kNoText,           // what was selected is no text (a picture): the clipboard was put back
        kNoAnswer,         // the window or the clipboard did not answer in time
        kTooLarge,         // over the clipboard limit: the clipboard was put back
        kRefused,          // the window takes no keys from this program
        kNotDone,          // the clipboard could not be kept, the conversion failed, or abandoned
        kNoKeys,           // this desktop gives no way to send keys (the desktop told the user)
    };
    struct Result {
        Outcome outcome = Outcome::kNotDone;
        std::string reading;                // Auto's reading, for the status dialog
        std::vector<std::string> messages;  // raised while converting
    };

    // How long each step may wait.
    static constexpr std::chrono::milliseconds kModifiersLimit{1000};
    static constexpr std::chrono::milliseconds kCopyLimit{1500};
    static constexpr std::chrono::milliseconds kPasteLimit{3000};
    // Longer pasted texts are not selected again: one key a character.
    static constexpr std::size_t kMaxSelectBack = 2000;

    SelectionReplacer(SelectionDesktop& desktop, Clipboard& clipboard);
    ~SelectionReplacer();

    // Replaces the selection, converting from `source` to `dest`, and calls `done` at the end.
    void Replace(TextFormat source, TextFormat dest, std::chrono::steady_clock::time_point now,
                 std::function<void(Result)> done);
    // Gives up a replacement in progress: nothing more is sent or written (a clipboard already
    // holding the converted text is put back). `done` is not called.
    void Abandon();
    bool Running() const { return static_cast<bool>(done_); }
    // Forgets Auto's cycle (the clipboard or the selection moved on).
    void ForgetCycle() { cycle_.Reset(); }

  private:
    void KeysReady(bool ready);
    void ModifiersUp(bool released);
    void Kept(bool kept);
    void Copied(bool copied);
    void Read(ClipboardRead read);
    void Pasted(SelectionDesktop::PasteResult result);
    void End(Outcome outcome, bool restore);
    template <typename... Args>
    std::function<void(Args...)> Then(void (SelectionReplacer::*step)(Args...));

    SelectionDesktop& desktop_;
    Clipboard& clipboard_;
    FrontWindow window_;
    TextFormat source_ = 0;
    TextFormat dest_ = 0;
    std::chrono::steady_clock::time_point now_;
    AutoCycle cycle_;
    ConversionStep step_;
    std::function<void(Result)> done_;
    bool pasting_ = false;  // the clipboard holds, or may hold, the converted text
    // Lets answers that come after Abandon (or the end) see that they are stale.
    std::shared_ptr<int> run_;
};

}  // namespace litvorot
