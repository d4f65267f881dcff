#include "shell/frmSplashBase.h"

#include <utility>

#include "detect/modDetect.h"
#include "shell/modFileIO.h"
#include "tables/modMessages.h"

using namespace litvorot;

frmSplashBase::frmSplashBase(Clipboard& clipboard, std::filesystem::path exeDir,
                             std::filesystem::path configHome)
    : clipboard_(clipboard), exeDir_(std::move(exeDir)), configHome_(std::move(configHome)) {}

void frmSplashBase::SetSourceFormat(TextFormat format) {
    SourceFormat_ = format;
    if (IsValidFormat(format) || format == kAuto) CheckFormatItem(FormatMenu::Source, format);
}

void frmSplashBase::mnuSourceAuto_Click() { SetSourceFormat(kAuto); }

void frmSplashBase::SetDestFormat(TextFormat format) {
    DestFormat_ = format;
    if (IsValidFormat(format)) CheckFormatItem(FormatMenu::Dest, format);
}

void frmSplashBase::SetDisplayStatus(bool flag) {
    DisplayStatus_ = flag;
    CheckDisplayStatusItem(flag);
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

void frmSplashBase::mnuGo_Click() {
    if (converting_) {
        ++pendingConversions_;
        return;
    }
    converting_ = true;
    StartConversion();
}

void frmSplashBase::StartConversion() {
    const std::weak_ptr<bool> alive = alive_;
    const unsigned generation = abandoned_;
    clipboard_.ReadClipboardText([this, alive, generation](std::u16string text) {
        if (alive.expired() || generation != abandoned_) return;
        ConversionResult result;
        if (SourceFormat_ == kAuto) {
            result = AutoConvertAndWrite(clipboard_, std::move(text), DestFormat_, DisplayStatus_,
                                         autoCycle_, clock_());
        } else {
            autoCycle_.Reset();
            result = ConvertAndWrite(clipboard_, std::move(text), SourceFormat_, DestFormat_,
                                     DisplayStatus_);
        }
        if (alive.expired() || generation != abandoned_) return;
        autoReading_ = result.reading;
        SetUndo(result);
        if (result.openStatus) OpenStatusDialog();
        if (alive.expired() || generation != abandoned_) return;
        FinishRun();
    });
}

void frmSplashBase::FinishRun() {
    if (pendingConversions_ == 0) {
        converting_ = false;
        return;
    }
    --pendingConversions_;
    StartConversion();
}

void frmSplashBase::AbandonConversions() {
    ++abandoned_;
    pendingConversions_ = 0;
    converting_ = false;
    clipboard_.AbandonClipboardRead();
}

void frmSplashBase::SetUndo(const ConversionResult& result) {
    if (!result.written) return;
    undoBefore_ = result.before;
    undoAfter_ = result.after;
    EnableUndoItem(true);
}

void frmSplashBase::mnuUndo_Click() {
    if (undoAfter_.empty() || converting_) return;
    const std::u16string before = std::move(undoBefore_);
    const std::u16string after = std::move(undoAfter_);
    undoBefore_.clear();
    undoAfter_.clear();
    autoCycle_.Reset();
    EnableUndoItem(false);
    // The clipboard is read as a conversion reads it, and presses meanwhile follow after.
    converting_ = true;
    const std::weak_ptr<bool> alive = alive_;
    const unsigned generation = abandoned_;
    clipboard_.ReadClipboardText([this, alive, generation, before, after](std::u16string text) {
        if (alive.expired() || generation != abandoned_) return;
        if (TextBeforeNul(text) == after) clipboard_.SetClipboardText(before);
        FinishRun();
    });
}
