// The tray program's controller: what the main window is on every platform, without its toolkit.
// It holds the three user settings, carries out the menu commands, reads and writes the settings
// file, converts, and runs the start-up and exit sequences. What it needs of the desktop (the
// clipboard, the hot key, the tray icon and its menu, the splash picture and the pause, the other
// windows) it asks of a Platform; each platform's frmSplash derives from it and is that Platform.
#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "clipboard/Clipboard.h"
#include "shell/modConversion.h"
#include "shell/modMenu.h"
#include "shell/modPlatform.h"
#include "shell/modSelection.h"
#include "tables/modTables.h"

class frmSplashBase {
  public:
    frmSplashBase(const frmSplashBase&) = delete;
    frmSplashBase& operator=(const frmSplashBase&) = delete;

    // The splash picture's size, which the main window takes while it shows it.
    static constexpr int kSplashWidth = 426;
    static constexpr int kSplashHeight = 210;

    // Start-up: the splash picture for `splashSeconds`, then the tray icon, the letter tables,
    // the settings (the defaults when there is no file) and the hot key.
    void Form_Load(int splashSeconds = 1);
    // Exit: the settings file, the hot key, the tray icon, the main window. Other windows stay.
    // A conversion still waiting for the clipboard is given up. Once only.
    void Shutdown();
    // The end asked for by the system or another program: hot key, tray icon, and the program
    // ends at once, without writing the settings file (only Exit writes it). Asked for during
    // the splash picture, it ends the program when the picture has gone.
    void Quit();
    bool HotKeyRegistered() const { return hotKeyRegistered_; }
    bool ShuttingDown() const { return shutDown_; }

    // The menu item chosen, by its command.
    void RunMenuCommand(litvorot::MenuCommand command);

    // Each setter stores the value and puts the menu's check marks in step with it; a format
    // code outside 1..4 (other than 5, Auto, for the source) is stored, and no item is marked
    // for it.
    void SetSourceFormat(litvorot::TextFormat format);
    void SetDestFormat(litvorot::TextFormat format);
    void SetDisplayStatus(bool flag);
    litvorot::TextFormat SourceFormat() const { return SourceFormat_; }
    litvorot::TextFormat DestFormat() const { return DestFormat_; }
    bool DisplayStatus() const { return DisplayStatus_; }

    // Applies the settings file; false when there is none. A file that ends early or holds a bad
    // line applies the lines before it, gives the rest their defaults and says so in a message.
    bool ReadSettings();
    // Writes the settings file; a failure is shown in a message naming the path and the reason.
    bool SaveSettings();
    std::filesystem::path SettingsFilePath() const;

    // Menu commands.
    void mnuSourceTranslit_Click() { SetSourceFormat(litvorot::kTranslit); }
    void mnuSourceKOI8_Click() { SetSourceFormat(litvorot::kKoi8); }
    void mnuSourceCP1251_Click() { SetSourceFormat(litvorot::kCp1251); }
    void mnuSourceUnicode_Click() { SetSourceFormat(litvorot::kUnicode); }
    void mnuSourceAuto_Click();
    void mnuDestTranslit_Click() { SetDestFormat(litvorot::kTranslit); }
    void mnuDestKOI8_Click() { SetDestFormat(litvorot::kKoi8); }
    void mnuDestCP1251_Click() { SetDestFormat(litvorot::kCp1251); }
    void mnuDestUnicode_Click() { SetDestFormat(litvorot::kUnicode); }
    void mnuDisplayStatus_Click() { SetDisplayStatus(!DisplayStatus_); }
    void mnuShowTable_Click() { platform_.OpenWindow(litvorot::AppWindow::Table); }
    void mnuHelp_Click() { platform_.OpenWindow(litvorot::AppWindow::Help); }
    void mnuAbout_Click() { platform_.OpenWindow(litvorot::AppWindow::About); }
    void mnuExit_Click() { Shutdown(); }
    // The conversion command; the hot key runs it too.
    void mnuGo_Click() { Convert(); }

    // How a conversion ended, for the caller that asked for it (`litvorot --go`).
    enum class Outcome {
        kConverted,        // the clipboard holds the converted text (or the selection was replaced)
        kNoText,           // there was no text to convert; the clipboard stays as it was
        kNothingSelected,  // replacing the selection: nothing was selected
        kNoAnswer,         // the clipboard's owner did not hand over its text in time
        kTooLarge,         // the text is over the limit; the clipboard stays as it was
        kNotDone,          // refused (too many waiting, the program is ending) or failed
    };
    using ConversionDone = std::function<void(Outcome)>;
    // Reads the clipboard, converts and writes, then calls `done`. A conversion asked for while one
    // runs (the clipboard's owner has not answered yet) follows when that one has finished; at most
    // kMaxWaitingConversions wait, and a press beyond them, or a keyboard auto-repeat
    // (`autoRepeat`) while one runs, is dropped. After Exit nothing runs.
    void Convert(ConversionDone done = {}, bool autoRepeat = false);
    static constexpr int kMaxWaitingConversions = 3;
    // Replaces the text selected in the window in front with its conversion, the clipboard left
    // as it was (shell/modSelection.h), in turn with the conversions; `done` as for Convert. The
    // selection's hot key and `litvorot --replace-selection` run it.
    void ReplaceSelection(ConversionDone done = {}, bool autoRepeat = false);
    bool SelectionHotKeyRegistered() const { return selectionHotKeyRegistered_; }

    // Gives up the conversion in progress and those asked for after it, for Exit: a clipboard
    // read that still waits is abandoned, and nothing more is written to the clipboard.
    void AbandonConversions();
    // Puts back the text the last conversion replaced (for the automatic source, the text its
    // cycle started from), when the clipboard still holds what that conversion wrote; otherwise
    // nothing changes. Either way there is nothing more to undo. Ignored while a conversion runs.
    void mnuUndo_Click();
    bool CanUndo() const { return !undoAfter_.empty(); }
    // The reading the last automatic conversion wrote ("UTF-8 read as CP 1251"), or empty.
    const std::string& AutoReading() const { return autoReading_; }

    // How long Undo and the automatic source's cycle keep a text marked secret.
    static constexpr std::chrono::seconds kSecretKeepTime{30};

    // The monotonic clock that times the automatic source's cycle; tests set their own.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void SetClock(Clock clock) { clock_ = std::move(clock); }

  protected:
    // `exeDir` is the executable's directory, `configHome` the user's config directory (for the
    // settings file when the executable's directory cannot be written; empty on Windows).
    // `platform` is only kept here: it may be the derived window, not built yet.
    frmSplashBase(litvorot::Platform& platform, std::filesystem::path exeDir,
                  std::filesystem::path configHome);
    virtual ~frmSplashBase() = default;

  private:
    litvorot::Platform& platform_;
    std::filesystem::path exeDir_;
    std::filesystem::path configHome_;

    litvorot::TextFormat SourceFormat_ = 0;
    litvorot::TextFormat DestFormat_ = 0;
    bool DisplayStatus_ = false;

    // Puts the check marks of the items that `mark` governs in step with the setting.
    void UpdateMarks(litvorot::MenuMark mark);

    bool hotKeyRegistered_ = false;
    bool resident_ = false;   // the splash picture has gone and the tray icon is there
    bool shutDown_ = false;   // Exit or Quit has run
    bool quitAsked_ = false;  // Quit during the splash picture

    // The conversions asked for and Undo, in order; the first one runs.
    struct Request {
        enum class Kind { kConvert, kUndo, kReplace } kind;
        ConversionDone done;
    };
    std::deque<Request> requests_;
    bool running_ = false;
    // The read in progress: its answer counts while this lives (Exit and the controller's end
    // let it go, and a late answer is then ignored).
    std::shared_ptr<int> read_;
    // Lets callbacks from the platform see that the controller is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    // Queues a request, unless too many wait (or it is a key's auto-repeat and one runs).
    void Ask(Request::Kind kind, ConversionDone done, bool autoRepeat);
    // Runs the first request, if none runs.
    void RunNext();
    void Replaced(litvorot::SelectionReplacer::Result result);
    std::unique_ptr<litvorot::SelectionReplacer> replacer_;
    bool selectionHotKeyRegistered_ = false;
    void OnRead(litvorot::ClipboardRead read);
    void UndoRead(const litvorot::ClipboardRead& read);
    // Ends the running request with `outcome` and runs the next one.
    void Finish(Outcome outcome);

    // What Undo and the cycle keep: dropped when the clipboard moves on, and a secret after
    // kSecretKeepTime.
    void Remember(const litvorot::ConversionStep& step, bool secret);
    void ForgetConversions();
    void ForgetExpiredSecret();
    void EnableUndoItem(bool enabled);
    litvorot::AutoCycle autoCycle_;
    std::string autoReading_;
    std::u16string undoBefore_;  // in memory only
    std::u16string undoAfter_;   // empty: nothing to undo
    bool secret_ = false;        // what is kept came from a secret
    std::chrono::steady_clock::time_point secretUntil_;
    std::shared_ptr<int> secretTimer_;
    Clock clock_ = [] { return std::chrono::steady_clock::now(); };
};
