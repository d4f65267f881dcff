#include "shell/modSelection_wayland.h"

#include <QLoggingCategory>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "clipboard/clipboard_qt.h"
#include "clipboard/clipboard_wayland.h"
#include "shell/modSelection_x11.h"

namespace litvorot {

namespace {

// Silent unless asked for: QT_LOGGING_RULES="litvorot.selection=true".
Q_LOGGING_CATEGORY(lcWaylandSelection, "litvorot.selection", QtWarningMsg)

using Selection = WaylandDataControl::Selection;
using Format = WaylandDataControl::Format;

// The converted text is offered under the text types programs ask for, all UTF-8, with the
// password managers' mark so that clipboard managers leave it out.
const char* const kPasteTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT"};

// How long a window that has read the pasted text may take to put it in place: a GTK text view
// (known by the types of what it copied) says when it has, by giving up its primary selection,
// and is waited for as long as a paste may take; others are not waited for long (Qt's read the
// whole text before they go on).
constexpr std::chrono::milliseconds kInsertLimit{250};
constexpr std::chrono::milliseconds kGtkInsertLimit{3000};
bool IsGtkTextType(const std::string& type) {
    return type == "GTK_TEXT_BUFFER_CONTENTS" || type == "application/x-gtk-text-buffer-rich-text";
}

// Names an X11 selection bridge may pass on that are questions about a selection, not content.
bool IsMetaType(const std::string& type) {
    return type == "TARGETS" || type == "MULTIPLE" || type == "TIMESTAMP" || type == "DELETE" ||
           type == "SAVE_TARGETS";
}

class WaylandSelectionDesktop final : public SelectionDesktop {
  public:
    WaylandSelectionDesktop(std::unique_ptr<WaylandDataControl> control,
                            std::unique_ptr<KeySender> keys, std::function<void(bool)> reportKeys)
        : keys_(std::move(keys)), reportKeys_(std::move(reportKeys)) {
        Watch(std::move(control));
        wait_.setSingleShot(true);
        QObject::connect(&wait_, &QTimer::timeout, &wait_, [this] { TimedOut(); });
    }

    FrontWindow Front() override {
        FrontWindow front;
        const std::optional<std::string> app = keys_ ? keys_->FrontApp() : std::nullopt;
        // Where the compositor does not say, a window is taken to be there; it may be a
        // terminal, so it gets keys that are harmless in one (CopyKeys).
        frontKnown_ = app.has_value();
        if (app && app->empty()) return front;
        front.exists = true;
        front.name = app.value_or("");
        front.terminal = app && IsTerminalClass(*app);
        qCInfo(lcWaylandSelection)
            << "the window in front:" << (app ? app->c_str() : "not named by the compositor")
            << (front.terminal ? "(a terminal)" : "");
        return front;
    }

    void PrepareKeys(std::function<void(bool)> done) override {
        auto answer = [this, done = std::move(done)](bool ready) {
            if (reportKeys_) reportKeys_(ready);
            done(ready);
        };
        if (!keys_) return answer(false);
        keys_->Prepare(std::move(answer));
    }

    // Neither key sender sees the user's keyboard: a virtual keyboard has modifiers of its own,
    // which the compositor keeps apart from the user's (a Shift still held does not reach its
    // keys); the portal's keys join the user's, and nothing tells when they are let go.
    void WaitForModifiersUp(std::chrono::milliseconds, std::function<void(bool)> done) override {
        done(!keys_ || !keys_->HeldModifiersJoin());
    }

    // ---- Keeping the clipboard ----

    void KeepClipboard(std::function<void(bool)> done) override {
        DropKeptClipboard();
        pasted_ = false;
        if (!Connected()) return done(false);
        keepDone_ = std::move(done);
        if (control_->Owned(Selection::kClipboard)) {  // what this desktop serves already
            kept_ = serving_;
            keptOwned_ = true;
            for (const Format& format : kept_) keptBytes_ += format.second->size();
            return FinishKeep(true);
        }
        for (const std::string& type : control_->Types(Selection::kClipboard)) {
            if (!IsMetaType(type) &&
                std::find(pending_.begin(), pending_.end(), type) == pending_.end()) {
                pending_.push_back(type);
            }
        }
        // An empty clipboard is kept as empty.
        keptOwned_ = !pending_.empty();
        KeepNext();
    }

    void DropKeptClipboard() override {
        kept_.clear();
        keptOwned_ = false;
        keptBytes_ = 0;
        pending_.clear();
        if (control_) control_->AbandonReceive();
    }

    // ---- Copy ----

    void Copy(const FrontWindow& window, std::chrono::milliseconds limit,
              std::function<void(bool)> done) override {
        if (!Connected()) return done(false);
        copyDone_ = std::move(done);
        // Every selection event the compositor sent before the keys is taken in first, so that
        // only a new selection after them counts as the copy.
        control_->Sync([this, keys = CopyKeys(window.terminal, frontKnown_), limit] {
            if (!copyDone_) return;
            stage_ = Stage::kCopy;
            keys_->Send(keys);
            wait_.start(static_cast<int>(limit.count()));
        });
    }

    // ---- Paste ----

    void Paste(const FrontWindow& window, std::u16string_view text, std::chrono::milliseconds limit,
               std::function<void(PasteResult)> done) override {
        auto data = std::make_shared<const std::string>(QStringFrom(text).toUtf8().toStdString());
        std::vector<Format> formats;
        for (const char* type : kPasteTypes) formats.emplace_back(type, data);
        formats.emplace_back(kSecretFormat, std::make_shared<const std::string>(kSecretValue));
        pasteDone_ = std::move(done);
        pasted_ = true;
        taken_ = false;
        if (!Connected() || !Serve(std::move(formats), true)) {
            return FinishPaste(PasteResult::kTaken);
        }
        // The keys go once the compositor has made the text the selection: keys and selection
        // travel on different connections, and a window told to paste before the selection
        // changed would paste what was copied.
        control_->Sync([this, keys = PasteKeys(window.terminal, frontKnown_), limit] {
            if (!pasteDone_) return;
            stage_ = Stage::kPaste;
            qCInfo(lcWaylandSelection) << "pasting the converted text";
            keys_->Send(keys);
            wait_.start(static_cast<int>(limit.count()));
        });
    }

    void RestoreClipboard() override {
        wait_.stop();
        stage_ = Stage::kIdle;
        copyDone_ = nullptr;
        pasteDone_ = nullptr;
        // As on X11: another program's text, put there after the converted text, stays; the
        // window's own copy is put back over.
        if (pasted_ && taken_) {
            qCInfo(lcWaylandSelection) << "another program took the clipboard: it stays";
        } else if (!Connected()) {
            qCInfo(lcWaylandSelection) << "the compositor is gone: nothing to put back";
        } else if (!keptOwned_) {
            control_->Clear(Selection::kClipboard);
            serving_.clear();
        } else {
            Serve(std::move(kept_), false);
        }
        pasted_ = false;
        DropKeptClipboard();
    }

    // ---- Selecting the pasted text again ----

    void SelectBack(const FrontWindow&, std::size_t characters) override {
        if (keys_) keys_->Send(SelectBackStrokes(characters));
    }

  private:
    enum class Stage { kIdle, kCopy, kPaste, kFetched };

    // Connected again after the compositor restarted or took data-control back.
    bool Connected() {
        if (!control_ || !control_->Alive()) Watch(ConnectWaylandDataControl());
        return control_ != nullptr;
    }

    void Watch(std::unique_ptr<WaylandDataControl> control) {
        // What the old connection served went with it.
        serving_.clear();
        control_ = std::move(control);
        if (!control_) return;
        control_->WatchSelection([this](Selection selection) { Changed(selection); });
    }

    // Another program set the clipboard (or the primary selection), or took it from this desktop.
    void Changed(Selection selection) {
        if (selection == Selection::kPrimary) {
            if (stage_ == Stage::kFetched) {
                qCInfo(lcWaylandSelection) << "the window put the pasted text in place";
                FinishPaste(PasteResult::kFetched);
            }
            return;
        }
        if (control_->Owned(selection)) return;
        serving_.clear();
        if (pasted_) taken_ = true;
        if (stage_ == Stage::kCopy) {
            wait_.stop();
            stage_ = Stage::kIdle;
            const std::vector<std::string> types = control_->Types(Selection::kClipboard);
            gtkText_ = std::any_of(types.begin(), types.end(), IsGtkTextType);
            qCInfo(lcWaylandSelection) << "the window copied its selection";
            if (auto done = std::exchange(copyDone_, nullptr)) done(true);
        } else if (stage_ == Stage::kPaste) {
            FinishPaste(PasteResult::kTaken);
        }
        // Taken once fetched: the window has its text, and the new owner's stays (taken_).
    }

    bool Serve(std::vector<Format> formats, bool paste) {
        serving_ = formats;
        std::function<void(const std::string&)> sent;
        if (paste) {
            // The window has the text once it has read one of its text types whole (the mark is
            // no text: a clipboard manager reads that one to know to leave the rest).
            sent = [this](const std::string& type) {
                if (stage_ != Stage::kPaste || type == kSecretFormat) return;
                qCInfo(lcWaylandSelection) << "the window read the pasted text";
                // Read is not yet in place. GTK reads the pipe a piece at a time from its event
                // loop, takes the text only at the pipe's end, and drops what it read if the
                // clipboard changes hands meanwhile (then pastes the clipboard put back); keys
                // sent before it has the text are handled first (Shift+Left would move the
                // selection it replaces). The text is in place when the selection it replaced
                // is gone: GTK then gives up the primary selection. Windows that say nothing
                // (Qt's) read the whole text before they go on, and have it by the limit.
                stage_ = Stage::kFetched;
                wait_.start(static_cast<int>((gtkText_ ? kGtkInsertLimit : kInsertLimit).count()));
            };
        }
        return control_->Serve(Selection::kClipboard, std::move(formats), std::move(sent));
    }

    void FinishPaste(PasteResult result) {
        wait_.stop();
        stage_ = Stage::kIdle;
        if (auto done = std::exchange(pasteDone_, nullptr)) done(result);
    }

    void TimedOut() {
        const Stage stage = std::exchange(stage_, Stage::kIdle);
        if (stage == Stage::kCopy) {
            qCInfo(lcWaylandSelection) << "nothing was copied: nothing is selected";
            if (auto done = std::exchange(copyDone_, nullptr)) done(false);
        } else if (stage == Stage::kPaste) {
            qCInfo(lcWaylandSelection) << "the window did not fetch the pasted text in time";
            if (auto done = std::exchange(pasteDone_, nullptr)) done(PasteResult::kTimedOut);
        } else if (stage == Stage::kFetched) {
            if (auto done = std::exchange(pasteDone_, nullptr)) done(PasteResult::kFetched);
        }
    }

    // ---- Keeping: the owner's types, one after the other ----

    void KeepNext() {
        if (pending_.empty()) {
            // Types offered and none given: what the owner holds cannot be put back.
            return FinishKeep(!keptOwned_ || !kept_.empty());
        }
        const std::string type = pending_.front();
        control_->Receive(
            Selection::kClipboard, type, kKeepFormatLimit, kKeepFormatLimit,
            kMaxKeptBytes - keptBytes_, [this, type](WaylandDataControl::Received received) {
                using Result = WaylandDataControl::Received::Result;
                if (!pending_.empty()) pending_.erase(pending_.begin());
                switch (received.result) {
                    case Result::kDone:
                        keptBytes_ += received.bytes.size();
                        kept_.emplace_back(
                            type, std::make_shared<const std::string>(std::move(received.bytes)));
                        break;
                    case Result::kNoAnswer:
                        break;  // a type the owner does not give is left out
                    case Result::kTooLarge:
                    case Result::kFailed:
                        return FinishKeep(false);
                }
                KeepNext();
            });
    }

    void FinishKeep(bool kept) {
        if (!kept) {
            DropKeptClipboard();
            pending_.clear();
        }
        qCInfo(lcWaylandSelection)
            << (kept ? "the clipboard was kept:" : "the clipboard could not be kept")
            << kept_.size() << "types," << keptBytes_ << "bytes";
        if (auto done = std::exchange(keepDone_, nullptr)) done(kept);
    }

    std::unique_ptr<WaylandDataControl> control_;
    std::unique_ptr<KeySender> keys_;
    std::function<void(bool)> reportKeys_;
    bool frontKnown_ = false;
    bool gtkText_ = false;  // the window copied from a GTK text view
    Stage stage_ = Stage::kIdle;
    QTimer wait_;  // the limit of the step that waits

    std::function<void(bool)> keepDone_;
    std::function<void(bool)> copyDone_;
    std::function<void(PasteResult)> pasteDone_;

    std::vector<Format> kept_;
    bool keptOwned_ = false;  // the clipboard had an owner when it was kept
    std::size_t keptBytes_ = 0;
    std::vector<std::string> pending_;

    std::vector<Format> serving_;  // what this desktop's connection serves as the clipboard
    bool pasted_ = false;          // this replacement put its text on the clipboard
    bool taken_ = false;           // another program took the clipboard since
};

}  // namespace

std::unique_ptr<SelectionDesktop> ConnectWaylandSelectionDesktop(
    std::unique_ptr<KeySender> keys, std::function<void(bool)> reportKeys) {
    std::unique_ptr<WaylandDataControl> control = ConnectWaylandDataControl();
    if (!control) return nullptr;
    return std::make_unique<WaylandSelectionDesktop>(std::move(control), std::move(keys),
                                                     std::move(reportKeys));
}

}  // namespace litvorot
