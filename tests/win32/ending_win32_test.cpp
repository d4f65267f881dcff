// How the program ends: Exit writes the settings file; a close request from another program
// (taskkill without /F) and the end of the session end it in order without writing the file.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "shell/frmSplash_win32.h"
#include "shell/modFileIO.h"
#include "shell/modSystemTray_win32.h"

namespace fs = std::filesystem;

namespace {

// Takes the pending messages; true when one of them was WM_QUIT.
bool PumpSawQuit() {
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
        } else {
            DispatchMessageW(&message);
        }
    }
    return quit;
}

bool HotKeyFree() {
    if (!RegisterHotKey(nullptr, 1, MOD_CONTROL, VK_SPACE)) return false;
    UnregisterHotKey(nullptr, 1);
    return true;
}

bool TrayIconShown() {
    NOTIFYICONDATAA data = litvorot::TrayIconData;
    return data.hWnd != nullptr && Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

class EndingWin32Test : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / L"litvorot-ending";
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        PumpSawQuit();
        form_ = std::make_unique<frmSplash>(folder_);
        ASSERT_TRUE(form_->Form_Load(0));
        form_->mnuDestUnicode_Click();  // a choice that Exit would write
        ASSERT_FALSE(HotKeyFree());
        ASSERT_TRUE(TrayIconShown());
    }
    void TearDown() override {
        form_.reset();
        PumpSawQuit();
        fs::remove_all(folder_);
    }
    // The program has let go of everything and been told to end, with no settings written.
    void ExpectEndedWithoutSaving() {
        EXPECT_EQ(form_->Window(), nullptr);
        EXPECT_TRUE(PumpSawQuit());
        EXPECT_TRUE(HotKeyFree());
        EXPECT_FALSE(TrayIconShown());
        EXPECT_FALSE(fs::exists(folder_ / litvorot::kSettingsFileName));
    }
    fs::path folder_;
    std::unique_ptr<frmSplash> form_;
};

TEST_F(EndingWin32Test, OnlyExitWritesTheSettingsFile) {
    form_->mnuExit_Click();
    EXPECT_EQ(form_->Window(), nullptr);
    EXPECT_TRUE(HotKeyFree());
    EXPECT_FALSE(TrayIconShown());
    std::ifstream in(folder_ / litvorot::kSettingsFileName, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), " 3 \r\n 4 \r\nFalse\r\n");
}

TEST_F(EndingWin32Test, ACloseRequestFromAnotherProgramEndsWithoutSaving) {
    // taskkill posts WM_CLOSE to each top-level window of the process.
    PostMessageW(form_->Window(), WM_CLOSE, 0, 0);
    MSG message;
    while (form_->Window() != nullptr && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
    ExpectEndedWithoutSaving();
}

TEST_F(EndingWin32Test, TheEndOfTheSessionEndsWithoutSaving) {
    HWND window = form_->Window();
    EXPECT_NE(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0);
    // A log-off that another program cancelled: the program goes on.
    SendMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
    EXPECT_EQ(form_->Window(), window);
    EXPECT_FALSE(HotKeyFree());
    SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    ExpectEndedWithoutSaving();
}

}  // namespace
