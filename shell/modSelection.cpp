#include "shell/modSelection.h"

#include <utility>

namespace litvorot {

namespace {

// The characters a window counts in `text`: code points, a CR LF line break as one.
std::size_t CharactersOf(std::u16string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xDC00 && c <= 0xDFFF && i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF) {
            continue;  // the second half of a surrogate pair
        }
        if (c == u'\n' && i > 0 && text[i - 1] == u'\r') continue;
        ++count;
    }
    return count;
}

}  // namespace

SelectionReplacer::SelectionReplacer(SelectionDesktop& desktop, Clipboard& clipboard)
    : desktop_(desktop), clipboard_(clipboard) {}

SelectionReplacer::~SelectionReplacer() { Abandon(); }

// `step` as a callback that does nothing once this run has ended or been abandoned.
template <typename... Args>
std::function<void(Args...)> SelectionReplacer::Then(void (SelectionReplacer::*step)(Args...)) {
    return [this, run = std::weak_ptr<int>(run_), step](Args... args) {
        if (!run.expired()) (this->*step)(std::forward<Args>(args)...);
    };
}

void SelectionReplacer::Replace(TextFormat source, TextFormat dest,
                                std::chrono::steady_clock::time_point now,
                                std::function<void(Result)> done) {
    if (Running()) return;
    done_ = std::move(done);
    source_ = source;
    dest_ = dest;
    now_ = now;
    step_ = ConversionStep();
    pasting_ = false;
    run_ = std::make_shared<int>(0);
    window_ = desktop_.Front();
    if (!window_.exists) return End(Outcome::kNothingSelected, false);
    // Synthetic keys a window refuses would be lost without a word: say so instead.
    if (!window_.acceptsKeys) return End(Outcome::kRefused, false);
    desktop_.PrepareKeys(Then(&SelectionReplacer::KeysReady));
}

void SelectionReplacer::KeysReady(bool ready) {
    // Without keys nothing can be copied or pasted: the clipboard is not even looked at.
    if (!ready) return End(Outcome::kNoKeys, false);
    desktop_.WaitForModifiersUp(kModifiersLimit, Then(&SelectionReplacer::ModifiersUp));
}

void SelectionReplacer::ModifiersUp(bool) {
    // Modifiers still held after the limit are let go around the keys the desktop sends.
    desktop_.KeepClipboard(Then(&SelectionReplacer::Kept));
}

void SelectionReplacer::Kept(bool kept) {
    if (!kept) return End(Outcome::kNotDone, false);
    desktop_.Copy(window_, kCopyLimit, Then(&SelectionReplacer::Copied));
}

void SelectionReplacer::Copied(bool copied) {
    // Nothing changed hands: nothing was selected, and the clipboard is as it was.
    if (!copied) return End(Outcome::kNothingSelected, false);
    clipboard_.ReadClipboard(ReadLimits{}, Then(&SelectionReplacer::Read));
}

void SelectionReplacer::Read(ClipboardRead read) {
    // From here on the clipboard holds the selection, not the user's text: every end puts it back.
    switch (read.result) {
        case ClipboardRead::Result::kText:
            break;
        case ClipboardRead::Result::kNoText:
        case ClipboardRead::Result::kFiles:
            return End(Outcome::kNoText, true);
        case ClipboardRead::Result::kTooLarge:
            return End(Outcome::kTooLarge, true);
        case ClipboardRead::Result::kNoAnswer:
            return End(Outcome::kNoAnswer, true);
        case ClipboardRead::Result::kFailed:
            return End(Outcome::kNotDone, true);
    }
    step_ = ConvertClipboardText(read.text, source_, dest_, cycle_, now_);
    read = ClipboardRead();
    if (step_.outcome == ConversionStep::Outcome::kFailed) return End(Outcome::kNotDone, true);
    if (step_.outcome == ConversionStep::Outcome::kNothing) return End(Outcome::kNoText, true);
    pasting_ = true;
    desktop_.Paste(window_, step_.text, kPasteLimit, Then(&SelectionReplacer::Pasted));
}

void SelectionReplacer::Pasted(SelectionDesktop::PasteResult result) {
    switch (result) {
        case SelectionDesktop::PasteResult::kTaken:
            // Another program's text is on the clipboard now: it stays.
            return End(Outcome::kNotDone, false);
        case SelectionDesktop::PasteResult::kTimedOut:
            return End(Outcome::kNoAnswer, true);
        case SelectionDesktop::PasteResult::kFetched:
            break;
    }
    cycle_ = source_ == kAuto ? step_.cycle : AutoCycle();
    // The clipboard goes back first: keys sent now reach the window after it has inserted the
    // text it fetched.
    desktop_.RestoreClipboard();
    pasting_ = false;
    const std::size_t characters = CharactersOf(step_.text);
    if (!window_.terminal && characters <= kMaxSelectBack) desktop_.SelectBack(window_, characters);
    End(Outcome::kReplaced, false);
}

void SelectionReplacer::End(Outcome outcome, bool restore) {
    run_.reset();
    if (restore) {
        desktop_.RestoreClipboard();
    } else if (outcome != Outcome::kReplaced) {
        desktop_.DropKeptClipboard();
    }
    pasting_ = false;
    if (outcome != Outcome::kReplaced) cycle_.Reset();
    Result result;
    result.outcome = outcome;
    result.reading = outcome == Outcome::kReplaced ? step_.reading : std::string();
    result.messages = std::move(step_.messages);
    step_ = ConversionStep();
    if (auto done = std::exchange(done_, nullptr)) done(std::move(result));
}

void SelectionReplacer::Abandon() {
    if (!Running()) return;
    run_.reset();
    if (pasting_) {
        desktop_.RestoreClipboard();
    } else {
        desktop_.DropKeptClipboard();
    }
    pasting_ = false;
    done_ = nullptr;
    step_ = ConversionStep();
}

}  // namespace litvorot
