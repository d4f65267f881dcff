#include "shell/frmSplashBase.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "detect/modDetect.h"
#include "shell/modFileIO.h"
#include "tables/modMessages.h"

using namespace litvorot;

frmSplashBase::frmSplashBase(Platform& platform, std::filesystem::path exeDir,
                             std::filesystem::path configHome)
    : platform_(platform), exeDir_(std::move(exeDir)), configHome_(std::move(configHome)) {}

void frmSplashBase::Form_Load(int splashSeconds) {
    platform_.ShowSplash();
    platform_.Pause(splashSeconds);
    platform_.HideSplash();
    if (quitAsked_) {  // asked to end during the splash: nothing to undo yet
        platform_.EndProgram();
        return;
    }
    platform_.AddTrayIcon("Litvorot");
    BuildTables();
    const bool read = ReadSettings();
    platform_.SettingsFileChosen(SettingsFilePath(), read);
    if (!read) {
        const Settings defaults;
        SetSourceFormat(defaults.sourceFormat);
        SetDestFormat(defaults.destFormat);
        SetDisplayStatus(defaults.displayStatus);
    }
    const std::weak_ptr<int> alive = alive_;
    HotKey& hotKey = platform_.AppHotKey();
    hotKeyRegistered_ = hotKey.RegisterAppHotKey(kModControl, kKeySpace, [this, alive, &hotKey] {
        if (!alive.expired()) Convert({}, hotKey.PressIsRepeat());
    });
    platform_.AppClipboard().WatchOwnership([this, alive] {
        if (!alive.expired()) ForgetConversions();
    });
    if (SelectionDesktop* desktop = platform_.AppSelectionDesktop()) {
        replacer_ = std::make_unique<SelectionReplacer>(*desktop, platform_.AppClipboard());
        if (HotKey* selectionKey = platform_.AppSelectionHotKey()) {
            selectionHotKeyRegistered_ =
                selectionKey->RegisterAppHotKey(kModShift, kKeyPause, [this, alive, selectionKey] {
                    if (!alive.expired()) ReplaceSelection({}, selectionKey->PressIsRepeat());
                });
        }
    }
    resident_ = true;
    platform_.ReportHotKey(hotKeyRegistered_);
    if (replacer_ && platform_.AppSelectionHotKey() != nullptr) {
        platform_.ReportSelectionHotKey(selectionHotKeyRegistered_);
    }
}

void frmSplashBase::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    AbandonConversions();
    ForgetConversions();
    // The user asked to quit: a settings file that cannot be written is reported, and the rest
    // of the sequence runs all the same.
    SaveSettings();
    platform_.AppHotKey().UnregisterAppHotKey();
    if (HotKey* selectionKey = platform_.AppSelectionHotKey()) selectionKey->UnregisterAppHotKey();
    platform_.RemoveTrayIcon();
    platform_.CloseMainWindow();
}

void frmSplashBase::Quit() {
    if (!resident_) {
        quitAsked_ = true;
        return;
    }
    if (!shutDown_) {
        shutDown_ = true;
        AbandonConversions();
        ForgetConversions();
        platform_.AppHotKey().UnregisterAppHotKey();
        if (HotKey* selectionKey = platform_.AppSelectionHotKey()) {
            selectionKey->UnregisterAppHotKey();
        }
        platform_.RemoveTrayIcon();
    }
    platform_.EndProgram();
}

void frmSplashBase::RunMenuCommand(MenuCommand command) {
    switch (command) {
        case MenuCommand::None:
            break;
        case MenuCommand::SourceTranslit:
            return mnuSourceTranslit_Click();
        case MenuCommand::SourceKOI8:
            return mnuSourceKOI8_Click();
        case MenuCommand::SourceCP1251:
            return mnuSourceCP1251_Click();
        case MenuCommand::SourceUnicode:
            return mnuSourceUnicode_Click();
        case MenuCommand::SourceAuto:
            return mnuSourceAuto_Click();
        case MenuCommand::DestTranslit:
            return mnuDestTranslit_Click();
        case MenuCommand::DestKOI8:
            return mnuDestKOI8_Click();
        case MenuCommand::DestCP1251:
            return mnuDestCP1251_Click();
        case MenuCommand::DestUnicode:
            return mnuDestUnicode_Click();
        case MenuCommand::DisplayStatus:
            return mnuDisplayStatus_Click();
        case MenuCommand::Go:
            return mnuGo_Click();
        case MenuCommand::Undo:
            return mnuUndo_Click();
        case MenuCommand::ShowTable:
            return mnuShowTable_Click();
        case MenuCommand::Help:
            return mnuHelp_Click();
        case MenuCommand::About:
            return mnuAbout_Click();
        case MenuCommand::Exit:
            return mnuExit_Click();
    }
}

void frmSplashBase::SetSourceFormat(TextFormat format) {
    SourceFormat_ = format;
    if (IsValidFormat(format) || format == kAuto) UpdateMarks(MenuMark::SourceFormat);
}

void frmSplashBase::mnuSourceAuto_Click() { SetSourceFormat(kAuto); }

void frmSplashBase::SetDestFormat(TextFormat format) {
    DestFormat_ = format;
    if (IsValidFormat(format)) UpdateMarks(MenuMark::DestFormat);
}

void frmSplashBase::SetDisplayStatus(bool flag) {
    DisplayStatus_ = flag;
    UpdateMarks(MenuMark::DisplayStatus);
}

void frmSplashBase::UpdateMarks(MenuMark mark) {
    for (const MenuItem& item : MenuItems()) {
        if (item.mark != mark) continue;
        switch (mark) {
            case MenuMark::None:
                break;
            case MenuMark::SourceFormat:
                platform_.SetMenuItemChecked(item, item.format == SourceFormat_);
                break;
            case MenuMark::DestFormat:
                platform_.SetMenuItemChecked(item, item.format == DestFormat_);
                break;
            case MenuMark::DisplayStatus:
                platform_.SetMenuItemChecked(item, DisplayStatus_);
                break;
        }
    }
}

void frmSplashBase::EnableUndoItem(bool enabled) {
    if (const MenuItem* item = MenuItemFor(MenuCommand::Undo)) {
        platform_.SetMenuItemEnabled(*item, enabled);
    }
}

std::filesystem::path frmSplashBase::SettingsFilePath() const {
    return SettingsPath(exeDir_, configHome_);
}

bool frmSplashBase::ReadSettings() {
    const SettingsRead read = ReadSettingsFile(SettingsFilePath());
    if (read.outcome == SettingsRead::Outcome::NoFile) return false;
    const Settings defaults;
    SetSourceFormat(read.sourceFormat.value_or(defaults.sourceFormat));
    SetDestFormat(read.destFormat.value_or(defaults.destFormat));
    SetDisplayStatus(read.displayStatus.value_or(defaults.displayStatus));
    if (read.outcome == SettingsRead::Outcome::Bad) ShowMessage(read.message);
    return true;
}

bool frmSplashBase::SaveSettings() {
    const std::string failure =
        SaveSettingsFile(SettingsFilePath(), Settings{SourceFormat_, DestFormat_, DisplayStatus_});
    if (!failure.empty()) ShowMessage(failure);
    return failure.empty();
}

namespace {

constexpr std::string_view kTooLargeTitle = "Litvorot: the text is too long";
constexpr std::string_view kSelectionTitle = "Litvorot";
constexpr std::string_view kNothingSelectedNotice =
    "Nothing is selected: select the text to convert, then press Shift+Pause.";
constexpr std::string_view kSelectionNoTextNotice = "The selection holds no text to convert.";
constexpr std::string_view kKeysRefusedNotice =
    "The window in front does not take keys from Litvorot (it runs with more rights, as "
    "administrator). Copy the text, press Ctrl+Space and paste instead.";

std::string TooLargeNotice() {
    return "The clipboard text is longer than " + std::to_string(kClipboardMaxUnits >> 20) +
           " million characters, more than Litvorot converts. The clipboard was left as it is.";
}

}  // namespace

void frmSplashBase::Convert(ConversionDone done, bool autoRepeat) {
    Ask(Request::Kind::kConvert, std::move(done), autoRepeat);
}

void frmSplashBase::ReplaceSelection(ConversionDone done, bool autoRepeat) {
    if (!replacer_) {
        if (done) done(Outcome::kNotDone);
        return;
    }
    Ask(Request::Kind::kReplace, std::move(done), autoRepeat);
}

void frmSplashBase::Ask(Request::Kind kind, ConversionDone done, bool autoRepeat) {
    if (shutDown_) {
        if (done) done(Outcome::kNotDone);
        return;
    }
    // A key held down repeats faster than a slow owner answers: its repeats are dropped, not
    // queued, while anything runs. Other presses wait their turn, up to a few.
    const bool busy = running_ || !requests_.empty();
    const bool full = static_cast<int>(requests_.size()) > kMaxWaitingConversions;
    if ((autoRepeat && busy) || full) {
        if (done) done(Outcome::kNotDone);
        return;
    }
    requests_.push_back({kind, std::move(done)});
    RunNext();
}

void frmSplashBase::RunNext() {
    if (running_ || requests_.empty()) return;
    running_ = true;
    ForgetExpiredSecret();
    if (requests_.front().kind == Request::Kind::kReplace) {
        const std::weak_ptr<int> alive = alive_;
        replacer_->Replace(SourceFormat_, DestFormat_, clock_(),
                           [this, alive](SelectionReplacer::Result result) {
                               if (!alive.expired()) Replaced(std::move(result));
                           });
        return;
    }
    read_ = std::make_shared<int>(0);
    const std::weak_ptr<int> read = read_;
    platform_.AppClipboard().ReadClipboard(ReadLimits{}, [this, read](ClipboardRead answer) {
        if (read.expired()) return;  // abandoned, or the controller is gone
        OnRead(std::move(answer));
    });
}

void frmSplashBase::OnRead(ClipboardRead read) {
    read_.reset();
    const std::weak_ptr<int> alive = alive_;
    std::vector<std::string> messages;
    if (!read.message.empty()) messages.push_back(std::move(read.message));
    if (requests_.front().kind == Request::Kind::kUndo) {
        UndoRead(read);
        for (const std::string& message : messages) platform_.ShowMessage(message);
        if (!alive.expired()) Finish(Outcome::kConverted);
        return;
    }

    Outcome outcome = Outcome::kNotDone;
    bool openStatus = DisplayStatus_;
    autoReading_.clear();
    switch (read.result) {
        case ClipboardRead::Result::kText: {
            ConversionStep step =
                ConvertClipboardText(read.text, SourceFormat_, DestFormat_, autoCycle_, clock_());
            messages.insert(messages.end(), step.messages.begin(), step.messages.end());
            if (step.outcome == ConversionStep::Outcome::kWrite) {
                if (platform_.AppClipboard().WriteClipboardText(step.text, read.secret)) {
                    outcome = Outcome::kConverted;
                    Remember(step, read.secret);
                }
            } else if (step.outcome == ConversionStep::Outcome::kNothing) {
                outcome = Outcome::kNoText;
            } else {
                openStatus = false;  // a failed conversion says so in its message instead
            }
            break;
        }
        case ClipboardRead::Result::kNoText:
        case ClipboardRead::Result::kFiles:
            outcome = Outcome::kNoText;
            break;
        case ClipboardRead::Result::kNoAnswer:
            outcome = Outcome::kNoAnswer;
            break;
        case ClipboardRead::Result::kTooLarge:
            outcome = Outcome::kTooLarge;
            openStatus = false;
            platform_.ShowNotice(kTooLargeTitle, TooLargeNotice());
            break;
        case ClipboardRead::Result::kFailed:
            break;
    }
    // A cycle goes on only from what it wrote; a secret is not kept a moment longer than needed.
    if (outcome != Outcome::kConverted) autoCycle_.Reset();
    read = ClipboardRead();
    if (openStatus) platform_.OpenStatusDialog(SourceFormat_, DestFormat_, autoReading_);
    for (const std::string& message : messages) platform_.ShowMessage(message);
    if (!alive.expired()) Finish(outcome);
}

void frmSplashBase::Replaced(SelectionReplacer::Result result) {
    using Replacement = SelectionReplacer::Outcome;
    static constexpr std::string_view kNames[] = {"replaced",  "nothing selected", "no text",
                                                  "no answer", "too large",        "refused",
                                                  "not done",  "no keys"};
    platform_.SelectionReplaced(kNames[static_cast<int>(result.outcome)]);
    Outcome outcome = Outcome::kNotDone;
    switch (result.outcome) {
        case Replacement::kReplaced:
            outcome = Outcome::kConverted;
            autoReading_ = result.reading;
            if (DisplayStatus_)
                platform_.OpenStatusDialog(SourceFormat_, DestFormat_, autoReading_);
            break;
        case Replacement::kNothingSelected:
            outcome = Outcome::kNothingSelected;
            platform_.ShowNotice(kSelectionTitle, kNothingSelectedNotice);
            break;
        case Replacement::kNoText:
            outcome = Outcome::kNoText;
            platform_.ShowNotice(kSelectionTitle, kSelectionNoTextNotice);
            break;
        case Replacement::kNoAnswer:
            outcome = Outcome::kNoAnswer;
            break;
        case Replacement::kTooLarge:
            outcome = Outcome::kTooLarge;
            platform_.ShowNotice(kTooLargeTitle, TooLargeNotice());
            break;
        case Replacement::kRefused:
            platform_.ShowNotice(kSelectionTitle, kKeysRefusedNotice);
            break;
        case Replacement::kNotDone:
        case Replacement::kNoKeys:  // the desktop has told the user, once
            break;
    }
    for (const std::string& message : result.messages) platform_.ShowMessage(message);
    Finish(outcome);
}

void frmSplashBase::Finish(Outcome outcome) {
    if (requests_.empty()) return;  // abandoned meanwhile
    ConversionDone done = std::move(requests_.front().done);
    requests_.pop_front();
    running_ = false;
    const std::weak_ptr<int> alive = alive_;
    if (done) done(outcome);
    if (!alive.expired()) RunNext();
}

void frmSplashBase::AbandonConversions() {
    read_.reset();
    if (replacer_) replacer_->Abandon();
    platform_.AppClipboard().AbandonClipboardRead();
    std::deque<Request> requests = std::exchange(requests_, {});
    running_ = false;
    for (Request& request : requests) {
        if (request.done) request.done(Outcome::kNotDone);
    }
}

void frmSplashBase::Remember(const ConversionStep& step, bool secret) {
    autoReading_ = step.reading;
    autoCycle_ = SourceFormat_ == kAuto ? step.cycle : AutoCycle();
    undoBefore_ = step.before;
    undoAfter_ = step.text;
    EnableUndoItem(true);
    secret_ = secret;
    if (!secret) return;
    // A password is kept no longer than it takes to press again or undo.
    secretUntil_ = clock_() + kSecretKeepTime;
    secretTimer_ = std::make_shared<int>(0);
    const std::weak_ptr<int> timer = secretTimer_;
    platform_.CallAfter(kSecretKeepTime, [this, timer] {
        if (!timer.expired()) ForgetConversions();
    });
}

void frmSplashBase::ForgetConversions() {
    // What is kept is only of use while the clipboard holds what was written.
    autoCycle_.Reset();
    const bool hadUndo = !undoAfter_.empty();
    undoBefore_ = std::u16string();
    undoAfter_ = std::u16string();
    secret_ = false;
    secretTimer_.reset();
    if (hadUndo) EnableUndoItem(false);
}

void frmSplashBase::ForgetExpiredSecret() {
    if (secret_ && clock_() >= secretUntil_) ForgetConversions();
}

void frmSplashBase::mnuUndo_Click() {
    ForgetExpiredSecret();
    if (undoAfter_.empty() || running_ || !requests_.empty() || shutDown_) return;
    // The clipboard is read as a conversion reads it, and presses meanwhile follow after.
    requests_.push_back({Request::Kind::kUndo, {}});
    EnableUndoItem(false);
    RunNext();
}

void frmSplashBase::UndoRead(const ClipboardRead& read) {
    const std::u16string before = std::exchange(undoBefore_, {});
    const std::u16string after = std::exchange(undoAfter_, {});
    const bool secret = std::exchange(secret_, false);
    secretTimer_.reset();
    autoCycle_.Reset();
    if (read.HasText() && TextBeforeNul(read.text) == after) {
        platform_.AppClipboard().WriteClipboardText(before, secret);
    }
}
