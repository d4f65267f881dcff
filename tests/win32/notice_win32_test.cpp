// What the Windows program tells the user outside the conversion: the notice when Ctrl+Space is
// taken (tool tip, one balloon, the small record file), messages shown from the message loop,
// and the controller's one-shot timers.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shell/frmSplash_win32.h"
#include "shell/modHotKeyTaken.h"
#include "shell/modSystemTray_win32.h"
#include "tables/modMessages.h"
#include "tests/win32/message_pump.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;
namespace fs = std::filesystem;

namespace {

// The shown balloon of the tray host (Wine's is a tool tip window of the balloon style that
// explorer.exe makes for the icon) holding `text`, or nullptr.
HWND BalloonShowing(const std::wstring& text) {
    struct Search {
        const std::wstring* text;
        HWND found;
    } wanted{&text, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* search = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (std::wstring(name) != L"tooltips_class32" || !IsWindowVisible(window) ||
                (GetWindowLongW(window, GWL_STYLE) & 0x40) == 0) {  // TTS_BALLOON
                return TRUE;
            }
            // WM_GETTEXT is carried across processes; GetWindowText would not ask.
            wchar_t shown[300] = {};
            SendMessageTimeoutW(window, WM_GETTEXT, 300, reinterpret_cast<LPARAM>(shown),
                                SMTO_ABORTIFHUNG, 1000, nullptr);
            if (*search->text != shown) return TRUE;
            search->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&wanted));
    return wanted.found;
}

class NoticeWin32Test : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / L"litvorot-notice";
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        noticeFile_ = folder_ / L"Litvorot" / L"hotkey-taken";
        holder_ = CreateWindowExW(0, L"STATIC", L"holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
        previousHook_ =
            SetMessageHook([this](std::string_view text) { shown_.emplace_back(text); });
    }
    void TearDown() override {
        form_.reset();
        test::PumpFor(0);
        UnregisterHotKey(holder_, 1);
        DestroyWindow(holder_);
        SetMessageHook(previousHook_);
        fs::remove_all(folder_);
    }
    // Starts the program with Ctrl+Space held by another window or free.
    void Start(bool keyTaken) {
        form_.reset();
        test::PumpFor(0);
        UnregisterHotKey(holder_, 1);
        if (keyTaken) {
            ASSERT_TRUE(RegisterHotKey(holder_, 1, MOD_CONTROL, VK_SPACE));
        }
        TrayBalloonData = NOTIFYICONDATAW{};
        form_ = std::make_unique<frmSplash>(folder_, noticeFile_);
        ASSERT_TRUE(form_->Form_Load(0));
        ASSERT_EQ(form_->HotKeyRegistered(), !keyTaken);
    }
    std::string Tip() const { return TrayIconData.szTip; }

    fs::path folder_;
    fs::path noticeFile_;
    HWND holder_ = nullptr;
    std::unique_ptr<frmSplash> form_;
    std::vector<std::string> shown_;
    MessageHook previousHook_;
};

TEST_F(NoticeWin32Test, ATakenHotKeyIsToldInTheTipAlwaysAndInABalloonOnce) {
    EXPECT_LE(kHotKeyTakenTipWindows.size(), 63u);
    Start(true);
    if (TrayIconData.hWnd == nullptr || !Shell_NotifyIconA(NIM_MODIFY, &TrayIconData)) {
        GTEST_SKIP() << "no tray host on this desktop";
    }
    EXPECT_EQ(Tip(), kHotKeyTakenTipWindows);
    EXPECT_TRUE(fs::exists(noticeFile_));
    const std::wstring message = Widen(kHotKeyTakenMessageWindows);
    EXPECT_EQ(TrayBalloonData.hWnd, form_->Window());
    EXPECT_EQ(TrayBalloonData.uID, kTrayIconId);
    EXPECT_EQ(TrayBalloonData.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(TrayBalloonData.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    EXPECT_EQ(std::wstring(TrayBalloonData.szInfoTitle), Widen(kHotKeyTakenTitle));
    EXPECT_EQ(std::wstring(TrayBalloonData.szInfo), message);
    // Wine's tray host shows the balloon two seconds after it is asked for.
    HWND balloon = nullptr;
    for (int i = 0; i < 100 && balloon == nullptr; ++i) {
        test::PumpFor(50);
        balloon = BalloonShowing(message);
    }
    EXPECT_NE(balloon, nullptr) << "no balloon with the notice appeared";
    EXPECT_TRUE(shown_.empty());  // no message box

    // The next start with the key still taken: the tip, but no balloon.
    Start(true);
    EXPECT_EQ(Tip(), kHotKeyTakenTipWindows);
    EXPECT_EQ(TrayBalloonData.hWnd, nullptr);

    // The key works again: the record goes, and losing it again is told again.
    Start(false);
    EXPECT_EQ(Tip(), "Litvorot");
    EXPECT_FALSE(fs::exists(noticeFile_));
    Start(true);
    EXPECT_EQ(std::wstring(TrayBalloonData.szInfo), message);
}

TEST_F(NoticeWin32Test, MessagesAndTimersRunFromTheMessageLoop) {
    Start(false);
    Platform& platform = form_->AppPlatform();
    // A message box has a loop of its own: none opens inside the controller's step.
    platform.ShowMessage("first");
    platform.ShowMessage("second");
    EXPECT_TRUE(shown_.empty());
    test::PumpFor(0);
    EXPECT_EQ(shown_, (std::vector<std::string>{"first", "second"}));

    int calls = 0;
    platform.CallAfter(std::chrono::milliseconds(30), [&calls] { ++calls; });
    EXPECT_EQ(calls, 0);
    for (int i = 0; i < 100 && calls == 0; ++i) test::PumpFor(20);
    EXPECT_EQ(calls, 1);
    test::PumpFor(200);
    EXPECT_EQ(calls, 1);  // once only

    // A timer still waiting when the window goes is never called.
    platform.CallAfter(std::chrono::milliseconds(30), [&calls] { ++calls; });
    form_->mnuExit_Click();
    test::PumpFor(200);
    EXPECT_EQ(calls, 1);
}

}  // namespace
