#include "shell/frmSplashBase.h"

#include <utility>

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
    const std::weak_ptr<bool> alive = alive_;
    hotKeyRegistered_ =
        platform_.AppHotKey().RegisterAppHotKey(kModControl, kKeySpace, [this, alive] {
            if (!alive.expired()) mnuGo_Click();
        });
    resident_ = true;
}

void frmSplashBase::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    AbandonConversions();
    // The user asked to quit: a settings file that cannot be written is reported, and the rest
    // of the sequence runs all the same.
    SaveSettings();
    platform_.AppHotKey().UnregisterAppHotKey();
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
        platform_.AppHotKey().UnregisterAppHotKey();
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
    platform_.AppClipboard().ReadClipboardText([this, alive, generation](std::u16string text) {
        if (alive.expired() || generation != abandoned_) return;
        ConversionResult result;
        if (SourceFormat_ == kAuto) {
            result = AutoConvertAndWrite(platform_.AppClipboard(), std::move(text), DestFormat_,
                                         DisplayStatus_, autoCycle_, clock_());
        } else {
            autoCycle_.Reset();
            result = ConvertAndWrite(platform_.AppClipboard(), std::move(text), SourceFormat_,
                                     DestFormat_, DisplayStatus_);
        }
        if (alive.expired() || generation != abandoned_) return;
        autoReading_ = result.reading;
        SetUndo(result);
        if (result.openStatus) platform_.OpenStatusDialog(SourceFormat_, DestFormat_, autoReading_);
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
    platform_.AppClipboard().AbandonClipboardRead();
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
    platform_.AppClipboard().ReadClipboardText(
        [this, alive, generation, before, after](std::u16string text) {
            if (alive.expired() || generation != abandoned_) return;
            if (TextBeforeNul(text) == after) platform_.AppClipboard().SetClipboardText(before);
            FinishRun();
        });
}
