// The command line of the tray program and the notice that Ctrl+Space is taken.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "FakeClipboard.h"
#include "TempDir.h"
#include "detect/modDetect.h"
#include "shell/frmSplash.h"
#include "shell/modCommandLine.h"
#include "shell/modHotKeyNotice.h"
#include "shell/modRemote.h"
#include "shell/modSystemTray.h"

namespace litvorot {
namespace {
namespace fs = std::filesystem;

CommandLine Parse(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"litvorot"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLineTest, NoOptionsStartsTheTrayProgram) {
    const CommandLine line = Parse({});
    EXPECT_FALSE(line.exitStatus);
    EXPECT_FALSE(line.remote.Any());
}

TEST(CommandLineTest, OptionsForTheRunningProgramCombine) {
    CommandLine line = Parse({"--go"});
    EXPECT_FALSE(line.exitStatus);
    EXPECT_TRUE(line.remote.go);
    EXPECT_FALSE(line.remote.exit || line.remote.source || line.remote.dest);

    // Names in any case and the codes 1-4, as litvorot-convert takes them; order does not matter.
    line = Parse({"--go", "--dest", "4", "--source", "KOI8"});
    EXPECT_FALSE(line.exitStatus);
    EXPECT_TRUE(line.remote.go);
    EXPECT_EQ(line.remote.source, kKoi8);
    EXPECT_EQ(line.remote.dest, kUnicode);

    line = Parse({"--source=CP1251", "--exit"});
    EXPECT_EQ(line.remote.source, kCp1251);
    EXPECT_TRUE(line.remote.exit);
    EXPECT_FALSE(line.remote.go);
    EXPECT_TRUE(line.remote.Any());

    // The automatic source, by name or code, for the source only.
    line = Parse({"--source", "Auto", "--go"});
    EXPECT_FALSE(line.exitStatus) << line.error;
    EXPECT_EQ(line.remote.source, kAuto);
    EXPECT_EQ(Parse({"--source=5"}).remote.source, kAuto);
    ASSERT_TRUE(Parse({"--dest", "auto"}).exitStatus);
    EXPECT_EQ(*Parse({"--dest", "auto"}).exitStatus, kExitUsage);
}

TEST(CommandLineTest, TheToolkitsOwnOptionsAreLeftToIt) {
    // QApplication takes -display and the like (a value of its own, or none) for itself.
    CommandLine line = Parse({"-display", ":1", "--go", "-reverse", "-style=fusion"});
    EXPECT_FALSE(line.exitStatus) << line.error;
    EXPECT_TRUE(line.remote.go);
    line = Parse({"-platform", "xcb"});
    EXPECT_FALSE(line.exitStatus) << line.error;
    EXPECT_FALSE(line.remote.Any());
    // A value that looks like one of ours is still the toolkit's.
    line = Parse({"-title", "--exit"});
    EXPECT_FALSE(line.exitStatus) << line.error;
    EXPECT_FALSE(line.remote.exit);
}

TEST(CommandLineTest, UsageErrorsExitWithTwoAndSayWhat) {
    struct Case {
        std::initializer_list<const char*> args;
        const char* said;
    };
    for (const Case& c :
         {Case{{"--source", "latin", "--go"}, "unknown format 'latin'"},
          Case{{"--dest", "5"}, "unknown format '5'"}, Case{{"--source", ""}, "unknown format ''"},
          Case{{"--frobnicate"}, "--frobnicate"}, Case{{"--go", "--dest"}, "--dest"},
          Case{{"extra"}, "extra"}}) {
        const CommandLine line = Parse(c.args);
        ASSERT_TRUE(line.exitStatus) << c.said;
        EXPECT_EQ(*line.exitStatus, kExitUsage) << c.said;
        EXPECT_NE(line.error.find(c.said), std::string::npos) << line.error;
        EXPECT_NE(line.error.find("--help"), std::string::npos) << line.error;
        EXPECT_FALSE(line.remote.Any()) << c.said;
    }
}

TEST(CommandLineTest, HelpListsEveryOptionAndFormat) {
    const CommandLine line = Parse({"--help"});
    ASSERT_TRUE(line.exitStatus);
    EXPECT_EQ(*line.exitStatus, 0);
    for (const char* word : {"--go", "--source", "--dest", "--exit", "--version", "translit",
                             "koi8", "cp1251", "unicode", "litvorot --go"}) {
        EXPECT_NE(line.output.find(word), std::string::npos) << word;
    }
    EXPECT_FALSE(line.remote.Any());
}

class HotKeyNoticeTest : public ::testing::Test {
  protected:
    void TearDown() override { delete form_.data(); }
    test::TempDir temp_{"notice"};
    const fs::path dir_ = temp_.Path();
    QPointer<frmSplash> form_;
};

TEST_F(HotKeyNoticeTest, TheUserIsToldOnceUntilTheKeyWorksAgain) {
    const fs::path file = dir_ / "state" / "litvorot" / "hotkey-taken";
    EXPECT_TRUE(HotKeyNoticeDue(false, file));   // first time taken, folders created
    EXPECT_FALSE(HotKeyNoticeDue(false, file));  // the next start: already told
    EXPECT_FALSE(HotKeyNoticeDue(true, file));   // the key works again
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(HotKeyNoticeDue(false, file));  // and is lost again
    // Without a place to remember it, every start tells.
    EXPECT_TRUE(HotKeyNoticeDue(false, {}));
    EXPECT_TRUE(HotKeyNoticeDue(false, {}));
}

TEST(HotKeyNoticeFileTest, StateHomeThenHomeAndOnlyAbsolutePaths) {
    EXPECT_EQ(HotKeyNoticeFile("/x/state", "/home/u"), fs::path("/x/state/litvorot/hotkey-taken"));
    EXPECT_EQ(HotKeyNoticeFile(nullptr, "/home/u"),
              fs::path("/home/u/.local/state/litvorot/hotkey-taken"));
    EXPECT_EQ(HotKeyNoticeFile("relative", "/home/u"),
              fs::path("/home/u/.local/state/litvorot/hotkey-taken"));
    EXPECT_EQ(HotKeyNoticeFile("", ""), fs::path());
    EXPECT_EQ(HotKeyNoticeFile(nullptr, nullptr), fs::path());
}

// A hot key that another program holds, or one that works.
class StubHotKey : public HotKey {
  public:
    explicit StubHotKey(bool free) : free_(free) {}
    bool RegisterAppHotKey(std::uint32_t, std::uint32_t, Handler) override { return free_; }
    void UnregisterAppHotKey() override {}

  private:
    bool free_;
};

TEST_F(HotKeyNoticeTest, TheToolTipNamesTheCommandWhileTheKeyIsTaken) {
    EXPECT_LE(HotKeyTakenTip().size(), 63);
    EXPECT_TRUE(HotKeyTakenTip().contains(QStringLiteral("Ctrl+Space")));
    EXPECT_TRUE(HotKeyTakenTip().contains(QStringLiteral("litvorot --go")));
    EXPECT_TRUE(HotKeyTakenMessage().contains(QStringLiteral("litvorot --go")));

    for (const bool free : {false, true}) {
        test::FakeClipboard clipboard;
        StubHotKey hotKey(free);
        form_ = new frmSplash(clipboard, hotKey, dir_, dir_ / "config");
        form_->Form_Load(0);
        const fs::path file = dir_ / "hotkey-taken";
        ReportHotKeyState(form_->HotKeyRegistered(), file);
        ASSERT_NE(TrayIcon(), nullptr);
        EXPECT_EQ(TrayIcon()->toolTip(), free ? QStringLiteral("Litvorot") : HotKeyTakenTip());
        EXPECT_EQ(fs::exists(file), !free);
        form_->Shutdown();
        delete form_.data();
    }
}

// The commands of the running program, as the D-Bus calls reach them.
TEST_F(HotKeyNoticeTest, RemoteCommandsWorkLikeTheMenu) {
    test::FakeClipboard clipboard;
    StubHotKey hotKey(true);
    form_ = new frmSplash(clipboard, hotKey, dir_, dir_ / "config");
    RemoteControl remote;
    // Before start-up has finished, commands do nothing.
    remote.Go();
    EXPECT_EQ(clipboard.reads, 0);
    form_->Form_Load(0);
    remote.Serve(*form_);

    remote.SetSourceFormat(kKoi8);
    remote.SetDestFormat(kUnicode);
    EXPECT_TRUE(form_->mnuSourceKOI8->isChecked());
    EXPECT_FALSE(form_->mnuSourceTranslit->isChecked());
    EXPECT_TRUE(form_->mnuDestUnicode->isChecked());
    EXPECT_FALSE(form_->mnuDestCP1251->isChecked());
    // Codes outside 1..4 (another D-Bus caller's) change nothing; 5, the automatic source, is a
    // source only.
    for (int bad : {0, 6, -1, 65537}) {
        remote.SetSourceFormat(bad);
        remote.SetDestFormat(bad);
    }
    remote.SetDestFormat(kAuto);
    EXPECT_EQ(form_->SourceFormat(), kKoi8);
    EXPECT_EQ(form_->DestFormat(), kUnicode);
    EXPECT_TRUE(form_->mnuSourceKOI8->isChecked());
    remote.SetSourceFormat(kAuto);
    EXPECT_EQ(form_->SourceFormat(), kAuto);
    EXPECT_TRUE(form_->mnuSourceAuto->isChecked());
    remote.SetSourceFormat(kKoi8);

    clipboard.Put(u"\u00c4\u00c1");  // «да» in KOI8
    remote.Go();
    ASSERT_TRUE(clipboard.written);
    EXPECT_EQ(*clipboard.written, u"\u0434\u0430");

    QSignalSpy done(form_.data(), &frmSplash::ShutdownDone);
    remote.Exit();
    EXPECT_EQ(done.count(), 1);
    std::ifstream settings(dir_ / "settings.ini", std::ios::binary);
    const std::string saved{std::istreambuf_iterator<char>(settings), {}};
    EXPECT_EQ(saved, " 1 \r\n 4 \r\nFalse\r\n");
    // After Exit the program takes no more commands.
    const int writes = clipboard.writes;
    remote.Go();
    EXPECT_EQ(clipboard.writes, writes);
}

}  // namespace
}  // namespace litvorot

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
