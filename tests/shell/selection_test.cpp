// Replacing the selection on a desktop held in memory: the sequence's steps in their order, and
// its failures (nothing selected, no text, a slow window, another program taking the clipboard,
// a window that takes no keys, Exit in the middle), with the user's clipboard put back each time
// it was touched and left alone when it was not.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FakeClipboard.h"
#include "FakeHotKey.h"
#include "QuietPlatform.h"
#include "TempDir.h"
#include "shell/frmSplashBase.h"
#include "shell/modPlatform.h"
#include "shell/modSelection.h"
#include "tables/modMessages.h"

namespace litvorot {
namespace {
namespace fs = std::filesystem;
using Outcome = frmSplashBase::Outcome;
using Log = std::vector<std::string>;
using namespace std::chrono_literals;

// A document with a selection, a clipboard, and a window that copies and pastes.
class FakeDesktop : public SelectionDesktop {
  public:
    explicit FakeDesktop(test::FakeClipboard& clipboard, Log& log)
        : clipboard_(clipboard), log_(log) {}

    FrontWindow window{true, false, true, "editor"};
    std::u16string selection;  // empty: nothing selected
    std::u16string document;   // what the window holds around its selection: [selection]
    bool modifiersUp = true;
    bool keepable = true;
    bool keysReady = true;  // false: this desktop gives no way to send keys
    // How the window answers the paste: at once (fetching), later, or never.
    bool answerPasteLater = false;
    std::function<void(PasteResult)> pasteWaiting;
    std::u16string pasted;

    FrontWindow Front() override { return window; }
    void PrepareKeys(std::function<void(bool)> done) override {
        if (!keysReady) log_.push_back("no keys");
        done(keysReady);
    }
    void WaitForModifiersUp(std::chrono::milliseconds, std::function<void(bool)> done) override {
        log_.push_back(modifiersUp ? "modifiers up" : "modifiers held");
        done(modifiersUp);
    }
    void KeepClipboard(std::function<void(bool)> done) override {
        kept_ = clipboard_.content;
        log_.push_back(keepable ? "keep" : "cannot keep");
        done(keepable);
    }
    void Copy(const FrontWindow& front, std::chrono::milliseconds,
              std::function<void(bool)> done) override {
        log_.push_back(front.terminal ? "copy ctrl+shift+c" : "copy ctrl+c");
        if (selection.empty()) return done(false);
        clipboard_.Put(selection);
        done(true);
    }
    void Paste(const FrontWindow&, std::u16string_view text, std::chrono::milliseconds,
               std::function<void(PasteResult)> done) override {
        log_.push_back("paste " + Narrow(text));
        clipboard_.Put(text);
        pasted = std::u16string(text);
        if (answerPasteLater) {
            pasteWaiting = std::move(done);
            return;
        }
        Fetch(std::move(done));
    }
    // The window fetches the text it was given and puts it in place of its selection.
    void Fetch(std::function<void(PasteResult)> done) {
        selection = pasted;
        done(PasteResult::kFetched);
    }
    void RestoreClipboard() override {
        log_.push_back("restore");
        if (kept_) clipboard_.content = *std::exchange(kept_, std::nullopt);
    }
    void DropKeptClipboard() override {
        log_.push_back("drop");
        kept_.reset();
    }
    void SelectBack(const FrontWindow&, std::size_t characters) override {
        log_.push_back("select back " + std::to_string(characters));
    }

    static std::string Narrow(std::u16string_view text) {
        std::string out;
        for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }

  private:
    test::FakeClipboard& clipboard_;
    Log& log_;
    std::optional<std::u16string> kept_;
};

class SelectionPlatform : public test::QuietPlatform {
  public:
    test::FakeClipboard clipboard;
    test::FakeHotKey hotKey;
    test::FakeHotKey selectionKey;
    FakeDesktop desktop{clipboard, log};

    Clipboard& AppClipboard() override { return clipboard; }
    HotKey& AppHotKey() override { return hotKey; }
    SelectionDesktop* AppSelectionDesktop() override { return &desktop; }
    HotKey* AppSelectionHotKey() override { return &selectionKey; }
    void EndProgram() override {}
    void ShowNotice(std::string_view, std::string_view text) override {
        log.push_back("notice " + std::string(text.substr(0, text.find(':'))));
    }
    void ReportSelectionHotKey(bool registered) override {
        log.push_back(registered ? "selection key ok" : "selection key taken");
    }
};

class Controller : public frmSplashBase {
  public:
    Controller(Platform& platform, const fs::path& dir) : frmSplashBase(platform, dir, {}) {}
};

class SelectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousHook_ = SetMessageHook({});
        controller_.Form_Load(0);
        controller_.SetClock([this] { return now_; });
        controller_.SetSourceFormat(kTranslit);
        controller_.SetDestFormat(kUnicode);
        platform_.clipboard.Put(u"the user's text");
        platform_.log.clear();
    }
    void TearDown() override { SetMessageHook(previousHook_); }
    std::vector<Outcome>& Replace() {
        controller_.ReplaceSelection([this](Outcome outcome) { outcomes_.push_back(outcome); });
        return outcomes_;
    }
    std::u16string Clipboard() const {
        return std::u16string(TextBeforeNul(platform_.clipboard.content));
    }

    test::TempDir temp_{"selection"};
    SelectionPlatform platform_;
    FakeDesktop& desktop_ = platform_.desktop;
    Controller controller_{platform_, temp_.Path()};
    std::vector<Outcome> outcomes_;
    std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
    MessageHook previousHook_;
};

TEST_F(SelectionTest, TheSelectionIsReplacedAndTheClipboardPutBack) {
    EXPECT_EQ(platform_.selectionKey.modifiers, kModShift);
    EXPECT_EQ(platform_.selectionKey.key, kKeyPause);
    desktop_.selection = u"privet";
    platform_.selectionKey.Press();
    EXPECT_EQ(desktop_.selection, u"привет");
    EXPECT_EQ(Clipboard(), u"the user's text");
    EXPECT_EQ(platform_.log, (Log{"modifiers up", "keep", "copy ctrl+c", "paste ??????", "restore",
                                  "select back 6"}));

    // In a terminal: its own keys, and no selecting back; a CR LF counts as one character.
    platform_.log.clear();
    desktop_.window.terminal = true;
    desktop_.selection = u"da";
    EXPECT_EQ(Replace(), std::vector<Outcome>{Outcome::kConverted});
    EXPECT_EQ(platform_.log,
              (Log{"modifiers up", "keep", "copy ctrl+shift+c", "paste ??", "restore"}));
    desktop_.window.terminal = false;
    platform_.log.clear();
    desktop_.selection = u"da\r\nnet";
    Replace();
    EXPECT_EQ(platform_.log.back(), "select back 6");
}

TEST_F(SelectionTest, NothingSelectedChangesNothingAndSaysSo) {
    EXPECT_EQ(Replace(), std::vector<Outcome>{Outcome::kNothingSelected});
    EXPECT_EQ(Clipboard(), u"the user's text");
    EXPECT_EQ(platform_.clipboard.writes, 0);
    EXPECT_EQ(platform_.log,
              (Log{"modifiers up", "keep", "copy ctrl+c", "drop", "notice Nothing is selected"}));

    // A window that takes no keys: told, and nothing is sent at all.
    platform_.log.clear();
    desktop_.window.acceptsKeys = false;
    desktop_.selection = u"privet";
    EXPECT_EQ(Replace().back(), Outcome::kNotDone);
    EXPECT_EQ(platform_.log, (Log{"drop",
                                  "notice The window in front does not take keys from "
                                  "Litvorot (it runs with more rights, as administrator). "
                                  "Copy the text, press Ctrl+Space and paste instead."}));
    EXPECT_EQ(desktop_.selection, u"privet");

    // A clipboard that cannot be kept whole is not touched.
    platform_.log.clear();
    desktop_.window.acceptsKeys = true;
    desktop_.keepable = false;
    EXPECT_EQ(Replace().back(), Outcome::kNotDone);
    EXPECT_EQ(platform_.log, (Log{"modifiers up", "cannot keep", "drop"}));
    EXPECT_EQ(desktop_.selection, u"privet");

    // A desktop that gives no way to send keys: the clipboard is not even kept, and the
    // controller adds no notice of its own (the desktop tells the user what still works, once).
    platform_.log.clear();
    desktop_.keepable = true;
    desktop_.keysReady = false;
    EXPECT_EQ(Replace().back(), Outcome::kNotDone);
    EXPECT_EQ(platform_.log, (Log{"no keys", "drop"}));
    EXPECT_EQ(desktop_.selection, u"privet");
    EXPECT_EQ(Clipboard(), u"the user's text");
}

TEST_F(SelectionTest, AModifierStillHeldDoesNotStopIt) {
    desktop_.modifiersUp = false;
    desktop_.selection = u"privet";
    EXPECT_EQ(Replace(), std::vector<Outcome>{Outcome::kConverted});
    EXPECT_EQ(platform_.log.front(), "modifiers held");
    EXPECT_EQ(desktop_.selection, u"привет");
}

TEST_F(SelectionTest, ASlowWindowHoldsTheClipboardConversionsUntilItHasFetched) {
    platform_.clipboard.Put(u"mir");
    desktop_.answerPasteLater = true;
    desktop_.selection = u"privet";
    Replace();
    // Ctrl+Space meanwhile waits: the clipboard holds the pasted text, not the user's.
    platform_.hotKey.Press();
    EXPECT_EQ(platform_.clipboard.writes, 0);  // it has not run
    ASSERT_TRUE(desktop_.pasteWaiting);
    desktop_.Fetch(std::exchange(desktop_.pasteWaiting, nullptr));
    EXPECT_EQ(outcomes_, std::vector<Outcome>{Outcome::kConverted});
    // Then the press converts the user's own text, put back.
    EXPECT_EQ(Clipboard(), u"мир");

    // The window never fetches: the clipboard goes back after the limit all the same.
    platform_.clipboard.Put(u"mine");
    desktop_.selection = u"mir";
    Replace();
    std::exchange(desktop_.pasteWaiting, nullptr)(SelectionDesktop::PasteResult::kTimedOut);
    EXPECT_EQ(outcomes_.back(), Outcome::kNoAnswer);
    EXPECT_EQ(Clipboard(), u"mine");

    // Another program took the clipboard before the window fetched: its text stays.
    desktop_.selection = u"mir";
    Replace();
    platform_.clipboard.Put(u"theirs");
    std::exchange(desktop_.pasteWaiting, nullptr)(SelectionDesktop::PasteResult::kTaken);
    EXPECT_EQ(outcomes_.back(), Outcome::kNotDone);
    EXPECT_EQ(Clipboard(), u"theirs");
    EXPECT_EQ(platform_.log.back(), "drop");
}

TEST_F(SelectionTest, ExitWhilePastingPutsTheClipboardBack) {
    desktop_.answerPasteLater = true;
    desktop_.selection = u"privet";
    Replace();
    ASSERT_EQ(Clipboard(), u"привет");
    controller_.Shutdown();
    EXPECT_EQ(Clipboard(), u"the user's text");
    EXPECT_EQ(outcomes_, std::vector<Outcome>{Outcome::kNotDone});
    // The window's late answer changes nothing.
    std::exchange(desktop_.pasteWaiting, nullptr)(SelectionDesktop::PasteResult::kFetched);
    EXPECT_EQ(outcomes_.size(), 1u);
}

TEST_F(SelectionTest, AutoCyclesWhileTheResultIsStillSelected) {
    controller_.SetSourceFormat(kAuto);
    controller_.SetDisplayStatus(true);
    desktop_.selection = u"РџСЂРёРІРµС‚";
    Replace();
    EXPECT_EQ(desktop_.selection, u"Привет");
    EXPECT_EQ(platform_.log.back(), "status UTF-8 read as CP 1251");
    now_ += 2s;
    Replace();  // the result is still selected: the next reading takes its place
    EXPECT_NE(desktop_.selection, u"Привет");
    EXPECT_NE(desktop_.selection, u"РџСЂРёРІРµС‚");
    // Later, or on another selection, a new cycle.
    now_ += 10s;
    desktop_.selection = u"ghbdtn";
    Replace();
    EXPECT_EQ(desktop_.selection, u"привет");
    EXPECT_EQ(Clipboard(), u"the user's text");
}

}  // namespace
}  // namespace litvorot
