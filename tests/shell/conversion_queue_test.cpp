// The controller's conversions against a clipboard that answers what a real one may: late, never,
// too much, secret, or taken by another program meanwhile. Each conversion tells its caller how
// it ended; messages reach the user only once it has.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "FakeClipboard.h"
#include "FakeHotKey.h"
#include "QuietPlatform.h"
#include "TempDir.h"
#include "detect/modDetect.h"
#include "shell/frmSplashBase.h"
#include "shell/modPlatform.h"
#include "tables/modMessages.h"

namespace litvorot {
namespace {
namespace fs = std::filesystem;
using Outcome = frmSplashBase::Outcome;
using Result = ClipboardRead::Result;
using namespace std::chrono_literals;

// A clipboard whose reads answer what the test says, when it says so.
class ScriptedClipboard : public test::FakeClipboard {
  public:
    std::vector<std::string>* log = nullptr;
    // Answered in turn by the reads to come; when empty, a read gives the content.
    std::deque<ClipboardRead> answers;
    bool secret = false;  // what the content read is marked
    bool lastWriteSecret = false;
    std::function<void()> lost;
    std::function<void(ClipboardRead)> pending;
    int readsStarted = 0;

    void ReadClipboard(const ReadLimits& limits, std::function<void(ClipboardRead)> done) override {
        ++readsStarted;
        if (answerLater) {
            pending = std::move(done);
            return;
        }
        done(Next(limits));
    }
    void AbandonClipboardRead() override {
        if (pending) ++abandoned;
        pending = nullptr;
    }
    bool AnswerRead() {
        if (!pending) return false;
        std::exchange(pending, nullptr)(Next(ReadLimits{}));
        return true;
    }
    bool WriteClipboardText(std::u16string_view text, bool marked) override {
        lastWriteSecret = marked;
        if (log != nullptr) log->push_back(marked ? "write secret" : "write");
        secret = marked;
        return SetClipboardText(text);
    }
    void WatchOwnership(std::function<void()> callback) override { lost = std::move(callback); }
    // Another program copies `text`.
    void TakenBy(std::u16string_view text, bool marked = false) {
        Put(text);
        secret = marked;
        if (lost) lost();
    }

  private:
    ClipboardRead Next(const ReadLimits& limits) {
        if (!answers.empty()) {
            ClipboardRead read = std::move(answers.front());
            answers.pop_front();
            return read;
        }
        ClipboardRead read = ReadOfText(GetClipboardText(), limits);
        read.secret = secret;
        return read;
    }
};

class QueuePlatform : public test::QuietPlatform {
  public:
    ScriptedClipboard clipboard;
    test::FakeHotKey hotKey;
    std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> timers;

    QueuePlatform() { clipboard.log = &log; }
    Clipboard& AppClipboard() override { return clipboard; }
    HotKey& AppHotKey() override { return hotKey; }
    void SetMenuItemEnabled(const MenuItem& item, bool on) override {
        if (item.command == MenuCommand::Undo) undoEnabled = on;
    }
    void EndProgram() override { log.push_back("end"); }
    void ShowMessage(std::string_view text) override {
        log.push_back("message " + std::string(text));
    }
    void ShowNotice(std::string_view title, std::string_view) override {
        log.push_back("notice " + std::string(title));
    }
    void ReportHotKey(bool registered) override {
        log.push_back(registered ? "hot key ok" : "hot key taken");
    }
    void CallAfter(std::chrono::milliseconds delay, std::function<void()> callback) override {
        timers.emplace_back(delay, std::move(callback));
    }
    bool undoEnabled = false;
};

class Controller : public frmSplashBase {
  public:
    Controller(Platform& platform, const fs::path& dir) : frmSplashBase(platform, dir, {}) {}
};

class ConversionQueueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousHook_ = SetMessageHook([this](std::string_view text) {
            platform_.log.push_back("hook " + std::string(text));
        });
        controller_.Form_Load(0);
        controller_.SetClock([this] { return now_; });
        controller_.SetSourceFormat(kTranslit);
        controller_.SetDestFormat(kUnicode);
        platform_.log.clear();
    }
    void TearDown() override { SetMessageHook(previousHook_); }
    // Converts, and gives how it ended (or nothing when it has not yet).
    std::vector<Outcome>& Go() {
        controller_.Convert([this](Outcome outcome) { outcomes_.push_back(outcome); });
        return outcomes_;
    }
    static ClipboardRead Answer(Result result) {
        ClipboardRead read;
        read.result = result;
        return read;
    }
    std::u16string Clipboard() const {
        return std::u16string(TextBeforeNul(platform_.clipboard.content));
    }

    test::TempDir temp_{"queue"};
    QueuePlatform platform_;
    Controller controller_{platform_, temp_.Path()};
    std::vector<Outcome> outcomes_;
    std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
    MessageHook previousHook_;
};

TEST_F(ConversionQueueTest, EachConversionTellsHowItEnded) {
    platform_.clipboard.Put(u"privet");
    EXPECT_EQ(Go(), std::vector<Outcome>{Outcome::kConverted});
    EXPECT_EQ(Clipboard(), u"привет");

    const std::u16string before = platform_.clipboard.content;
    for (const Result result :
         {Result::kNoText, Result::kFiles, Result::kNoAnswer, Result::kTooLarge, Result::kFailed}) {
        platform_.clipboard.answers.push_back(Answer(result));
        Go();
    }
    EXPECT_EQ(outcomes_,
              (std::vector<Outcome>{Outcome::kConverted, Outcome::kNoText, Outcome::kNoText,
                                    Outcome::kNoAnswer, Outcome::kTooLarge, Outcome::kNotDone}));
    EXPECT_EQ(platform_.clipboard.content, before);
    EXPECT_EQ(platform_.clipboard.writes, 1);
    // Only the text over the limit is told, in a notice that asks for nothing.
    EXPECT_EQ(std::count(platform_.log.begin(), platform_.log.end(),
                         "notice Litvorot: the text is too long"),
              1);

    // The limit itself, as the default read applies it to a text read whole.
    const std::u16string huge(kClipboardMaxUnits + 1, u'a');
    EXPECT_EQ(ReadOfText(huge + u'\0', ReadLimits{}).result, Result::kTooLarge);
    EXPECT_EQ(ReadOfText(huge.substr(1) + u'\0', ReadLimits{}).result, Result::kText);
}

TEST_F(ConversionQueueTest, AFewPressesWaitAndAutoRepeatNeverQueues) {
    platform_.clipboard.Put(u"privet");
    platform_.clipboard.answerLater = true;
    Go();
    // The key held down against a stuck owner: its repeats are dropped.
    for (int i = 0; i < 30; ++i) controller_.Convert({}, true);
    for (int i = 0; i < 5; ++i) Go();
    // Three wait behind the first; the two beyond are refused at once.
    EXPECT_EQ(outcomes_, (std::vector<Outcome>{Outcome::kNotDone, Outcome::kNotDone}));
    EXPECT_EQ(platform_.clipboard.readsStarted, 1);
    int answered = 0;
    while (platform_.clipboard.AnswerRead()) ++answered;
    EXPECT_EQ(answered, 1 + frmSplashBase::kMaxWaitingConversions);
    EXPECT_EQ(outcomes_.size(), 6u);
    // With nothing waiting, a repeat runs as any press does.
    platform_.clipboard.answerLater = false;
    platform_.clipboard.Put(u"da");
    controller_.Convert({}, true);
    EXPECT_EQ(Clipboard(), u"да");
}

TEST_F(ConversionQueueTest, MessagesComeAfterTheConversionNeverInsideIt) {
    // A source code the tables do not know (from a hand-edited settings file).
    controller_.SetSourceFormat(7);
    platform_.clipboard.Put(u"abc");
    Go();
    ASSERT_EQ(outcomes_, std::vector<Outcome>{Outcome::kConverted});
    EXPECT_EQ(platform_.log, (std::vector<std::string>{"write", "message Invalid table"}));

    // A message the platform's read raised (Windows' lock failure) comes after the status dialog.
    platform_.log.clear();
    controller_.SetSourceFormat(kTranslit);
    controller_.SetDisplayStatus(true);
    ClipboardRead failed = Answer(Result::kNoText);
    failed.message = "Could not lock memory to copy string from.";
    platform_.clipboard.answers.push_back(failed);
    Go();
    EXPECT_EQ(platform_.log, (std::vector<std::string>{
                                 "status ", "message Could not lock memory to copy string from."}));
}

TEST_F(ConversionQueueTest, ExitGivesUpWhatWaitsAndWritesNothingAfter) {
    platform_.clipboard.Put(u"privet");
    platform_.clipboard.answerLater = true;
    Go();
    Go();
    auto late = platform_.clipboard.pending;  // an answer already on its way
    controller_.Shutdown();
    EXPECT_EQ(outcomes_, (std::vector<Outcome>{Outcome::kNotDone, Outcome::kNotDone}));
    late(ReadOfText(u"privet" + std::u16string(1, u'\0'), ReadLimits{}));
    EXPECT_EQ(platform_.clipboard.writes, 0);
    Go();
    EXPECT_EQ(outcomes_.back(), Outcome::kNotDone);
    EXPECT_EQ(platform_.clipboard.readsStarted, 1);
}

TEST_F(ConversionQueueTest, ASecretKeepsItsMarkAndIsNotKept) {
    platform_.clipboard.Put(u"parol'");
    platform_.clipboard.secret = true;
    Go();
    EXPECT_TRUE(platform_.clipboard.lastWriteSecret);
    EXPECT_TRUE(controller_.CanUndo());
    ASSERT_EQ(platform_.timers.size(), 1u);
    EXPECT_EQ(platform_.timers[0].first, frmSplashBase::kSecretKeepTime);
    // The timer fires: nothing of the password is left to undo.
    platform_.timers[0].second();
    EXPECT_FALSE(controller_.CanUndo());
    EXPECT_FALSE(platform_.undoEnabled);

    // Without a timer the clock does it, at the next command.
    Go();
    ASSERT_TRUE(controller_.CanUndo());
    now_ += frmSplashBase::kSecretKeepTime;
    controller_.mnuUndo_Click();
    EXPECT_FALSE(controller_.CanUndo());
    EXPECT_EQ(platform_.clipboard.writes, 2);

    // Undo within the time writes the original back, marked.
    platform_.clipboard.Put(u"parol'");
    Go();
    platform_.clipboard.lastWriteSecret = false;
    controller_.mnuUndo_Click();
    EXPECT_EQ(Clipboard(), u"parol'");
    EXPECT_TRUE(platform_.clipboard.lastWriteSecret);
    // An ordinary text afterwards goes back without the mark.
    platform_.clipboard.Put(u"mir");
    platform_.clipboard.secret = false;
    Go();
    EXPECT_FALSE(platform_.clipboard.lastWriteSecret);
}

TEST_F(ConversionQueueTest, WhenTheClipboardMovesOnNothingOfTheOldTextIsKept) {
    controller_.SetSourceFormat(kAuto);
    platform_.clipboard.Put(u"РџСЂРёРІРµС‚");
    Go();
    ASSERT_EQ(Clipboard(), u"Привет");
    ASSERT_TRUE(controller_.CanUndo());
    // Another program copies a text equal to what was written: it is theirs, not the cycle's,
    // and Undo must not put the old text over it.
    platform_.clipboard.TakenBy(u"Привет");
    EXPECT_FALSE(controller_.CanUndo());
    controller_.mnuUndo_Click();
    EXPECT_EQ(Clipboard(), u"Привет");
    now_ += 1s;
    Go();  // a new cycle: Привет is fine as it is
    EXPECT_EQ(Clipboard(), u"Привет");
}

TEST_F(ConversionQueueTest, TheHotKeyStateIsToldThroughThePlatform) {
    QueuePlatform platform;
    platform.hotKey.handler = [] {};  // another program holds the key
    Controller controller(platform, temp_.Path());
    controller.Form_Load(0);
    EXPECT_FALSE(controller.HotKeyRegistered());
    EXPECT_EQ(platform.log.back(), "hot key taken");
}

}  // namespace
}  // namespace litvorot
