// The controller on a platform held in memory: the start-up, conversion and exit sequences in
// their order, the ends asked for by the system, and the menu table driving commands and marks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FakeClipboard.h"
#include "FakeHotKey.h"
#include "TempDir.h"
#include "detect/modDetect.h"
#include "shell/frmSplashBase.h"
#include "shell/modPlatform.h"
#include "tables/modMessages.h"

namespace litvorot {
namespace {
namespace fs = std::filesystem;

// Writes down what the controller asks of it, in order.
class FakePlatform : public Platform {
  public:
    std::vector<std::string> log;
    std::map<std::string, bool, std::less<>> checked;
    std::map<std::string, bool, std::less<>> enabled;
    std::function<void()> duringPause;
    test::FakeClipboard clipboard;
    test::FakeHotKey hotKey;

    Clipboard& AppClipboard() override { return clipboard; }
    HotKey& AppHotKey() override { return hotKey; }
    void ShowSplash() override { log.push_back("splash shown"); }
    void HideSplash() override { log.push_back("splash hidden"); }
    void Pause(int seconds) override {
        log.push_back("pause " + std::to_string(seconds));
        if (duringPause) duringPause();
    }
    void AddTrayIcon(std::string_view tip) override {
        log.push_back("tray icon " + std::string(tip));
    }
    void RemoveTrayIcon() override { log.push_back("tray icon removed"); }
    void SetMenuItemChecked(const MenuItem& item, bool on) override {
        checked[std::string(item.name)] = on;
    }
    void SetMenuItemEnabled(const MenuItem& item, bool on) override {
        enabled[std::string(item.name)] = on;
    }
    void OpenStatusDialog(TextFormat source, TextFormat dest, const std::string& reading) override {
        log.push_back("status " + std::to_string(source) + " " + std::to_string(dest) + " " +
                      reading);
    }
    void OpenWindow(AppWindow window) override {
        log.push_back(window == AppWindow::Table  ? "table"
                      : window == AppWindow::Help ? "help"
                                                  : "about");
    }
    void SettingsFileChosen(const fs::path& path, bool read) override {
        log.push_back("settings " + path.filename().string() + (read ? " read" : " not read"));
    }
    void CloseMainWindow() override { log.push_back("main window closed"); }
    void EndProgram() override { log.push_back("program ends"); }
};

class Controller : public frmSplashBase {
  public:
    Controller(Platform& platform, const fs::path& dir) : frmSplashBase(platform, dir, {}) {}
};

class PlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousHook_ =
            SetMessageHook([this](std::string_view text) { messages_.emplace_back(text); });
        // The settings file at the moment the hot key goes: Exit has written it by then.
        platform_.hotKey.onUnregister = [this] {
            platform_.log.push_back(fs::exists(dir_ / "settings.ini") ? "hot key off, saved"
                                                                      : "hot key off");
        };
    }
    void TearDown() override { SetMessageHook(previousHook_); }
    std::string SettingsBytes() {
        std::ifstream in(dir_ / "settings.ini", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> TakeLog() { return std::exchange(platform_.log, {}); }

    test::TempDir temp_{"platform"};
    const fs::path dir_ = temp_.Path();
    FakePlatform platform_;
    std::vector<std::string> messages_;
    MessageHook previousHook_;
};

using Log = std::vector<std::string>;

TEST_F(PlatformTest, StartConvertAndExitInOrder) {
    Controller controller(platform_, dir_);
    controller.Form_Load(1);
    EXPECT_EQ(TakeLog(), (Log{"splash shown", "pause 1", "splash hidden", "tray icon Litvorot",
                              "settings settings.ini not read"}));
    // The first run's settings are marked; Ctrl+Space is the hot key.
    EXPECT_TRUE(platform_.checked["mnuSourceTranslit"]);
    EXPECT_FALSE(platform_.checked["mnuSourceAuto"]);
    EXPECT_TRUE(platform_.checked["mnuDestCP1251"]);
    EXPECT_FALSE(platform_.checked["mnuDisplayStatus"]);
    EXPECT_TRUE(controller.HotKeyRegistered());
    EXPECT_EQ(platform_.hotKey.modifiers, kModControl);
    EXPECT_EQ(platform_.hotKey.key, kKeySpace);

    // The tables are built: a press converts, the status dialog follows when asked for, and
    // Undo comes alive.
    controller.RunMenuCommand(MenuCommand::DisplayStatus);
    platform_.clipboard.Put(u"privet");
    platform_.hotKey.Press();
    EXPECT_EQ(platform_.clipboard.written, u"\u00ef\u00f0\u00e8\u00e2\u00e5\u00f2");
    EXPECT_EQ(TakeLog(), (Log{"status 3 2 "}));
    EXPECT_TRUE(platform_.enabled["mnuUndo"]);

    controller.RunMenuCommand(MenuCommand::Exit);
    EXPECT_EQ(TakeLog(), (Log{"hot key off, saved", "tray icon removed", "main window closed"}));
    EXPECT_EQ(SettingsBytes(), " 3 \r\n 2 \r\nTrue\r\n");
    // Once only, and nothing after it.
    controller.Shutdown();
    controller.Quit();
    EXPECT_EQ(TakeLog(), (Log{"program ends"}));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(PlatformTest, TheEndAskedForBySystemWritesNothing) {
    {  // during the splash picture: the program ends when it has gone, before anything else
        Controller controller(platform_, dir_);
        platform_.duringPause = [&controller] { controller.Quit(); };
        controller.Form_Load(1);
        EXPECT_EQ(TakeLog(), (Log{"splash shown", "pause 1", "splash hidden", "program ends"}));
        EXPECT_EQ(platform_.hotKey.registrations, 0);
    }
    platform_.duringPause = nullptr;
    {  // once resident: hot key and tray icon go, the settings file is not written
        Controller controller(platform_, dir_);
        controller.Form_Load(0);
        TakeLog();
        controller.RunMenuCommand(MenuCommand::DestUnicode);
        controller.Quit();
        EXPECT_EQ(TakeLog(), (Log{"hot key off", "tray icon removed", "program ends"}));
        controller.RunMenuCommand(MenuCommand::Exit);
        EXPECT_TRUE(TakeLog().empty());
        EXPECT_FALSE(fs::exists(dir_ / "settings.ini"));
    }
}

TEST_F(PlatformTest, SettingsFileIsReadAndMarked) {
    std::ofstream(dir_ / "settings.ini", std::ios::binary) << " 5 \r\n 4 \r\nTrue\r\n";
    Controller controller(platform_, dir_);
    controller.Form_Load(0);
    EXPECT_EQ(TakeLog()[4], "settings settings.ini read");
    EXPECT_EQ(controller.SourceFormat(), kAuto);
    for (const MenuItem& item : MenuItems()) {
        if (item.mark == MenuMark::None) continue;
        const bool expected = item.mark == MenuMark::SourceFormat ? item.format == kAuto
                              : item.mark == MenuMark::DestFormat ? item.format == kUnicode
                                                                  : true;
        EXPECT_EQ(platform_.checked[std::string(item.name)], expected) << item.name;
    }
}

// Every item has one place in the table, a parent defined before it and, when it does
// something, its own command that the Windows identifiers give back.
TEST(MenuTable, ItemsAreWellFormed) {
    std::set<std::string_view> names{kMenuRoot};
    std::set<MenuCommand> commands;
    for (const MenuItem& item : MenuItems()) {
        EXPECT_TRUE(names.count(item.parent)) << item.name << " comes before its parent";
        EXPECT_TRUE(names.insert(item.name).second) << item.name << " twice";
        if (item.kind != MenuKind::Item) {
            EXPECT_EQ(item.command, MenuCommand::None) << item.name;
            continue;
        }
        EXPECT_TRUE(commands.insert(item.command).second) << item.name;
        EXPECT_EQ(MenuItemFor(item.command), &item);
        EXPECT_EQ(MenuCommandOfId(MenuCommandId(item.command)), item.command);
        EXPECT_FALSE(item.caption.empty()) << item.name;
    }
    EXPECT_EQ(MenuCommandOfId(0), MenuCommand::None);
    EXPECT_EQ(MenuCommandOfId(MenuCommandId(MenuCommand::None)), MenuCommand::None);
}

TEST_F(PlatformTest, MenuCommandsReachTheirWindows) {
    Controller controller(platform_, dir_);
    controller.Form_Load(0);
    TakeLog();
    controller.RunMenuCommand(MenuCommand::ShowTable);
    controller.RunMenuCommand(MenuCommand::Help);
    controller.RunMenuCommand(MenuCommand::About);
    controller.RunMenuCommand(MenuCommand::None);
    EXPECT_EQ(TakeLog(), (Log{"table", "help", "about"}));
}

}  // namespace
}  // namespace litvorot
