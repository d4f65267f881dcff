// The Windows program's command line for the program that runs: one program per session (the
// lock), the commands carried out in order, a conversion answered once it has ended with the
// caller's exit status, a format refused, Exit, and no program to answer.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "clipboard/clipboard_win32.h"
#include "shell/frmSplash_win32.h"
#include "shell/modRemote_win32.h"
#include "tests/win32/message_pump.h"
#include "tests/win32/temp_folder.h"

using namespace litvorot;
namespace fs = std::filesystem;

namespace {

class RemoteWin32Test : public testing::Test {
  protected:
    void SetUp() override {
        // A name of the test's own: a program the session runs besides is left alone.
        name_ = L"LitvorotTest-" + std::to_wstring(GetCurrentProcessId());
        server_ = std::make_unique<RemoteServerWin32>(name_);
        ASSERT_EQ(server_->ClaimSession(), RemoteServerWin32::Claim::kOwned);
        form_ = std::make_unique<frmSplash>(folder_);
        form_->OnClosed([this] { server_->Release(); });
        ASSERT_TRUE(form_->Form_Load(0));
        ASSERT_TRUE(server_->Serve(*form_));
        clipboard_.SetOwner(form_->Window());
    }
    void TearDown() override {
        form_.reset();
        server_.reset();
        test::PumpFor(0);
    }
    int Send(const RemoteCommand& command) {
        said_.clear();
        return SendRemoteCommandWin32(
            command, [this](std::string_view text) { said_.emplace_back(text); }, name_);
    }
    std::u16string Clipboard() {
        return std::u16string(TextBeforeNul(clipboard_.GetClipboardText()));
    }

    test::TempFolder temp_{L"litvorot-remote"};
    const fs::path& folder_ = temp_.Path();
    std::wstring name_;
    std::unique_ptr<RemoteServerWin32> server_;
    std::unique_ptr<frmSplash> form_;
    ClipboardWin32 clipboard_{nullptr};
    std::vector<std::string> said_;
};

TEST_F(RemoteWin32Test, CommandsAreCarriedOutInOrderAndAConversionAnswersWhenItHasEnded) {
    ASSERT_TRUE(clipboard_.SetClipboardText(u"privet"));
    RemoteCommand command;
    command.source = kTranslit;
    command.dest = kUnicode;
    command.go = true;
    EXPECT_EQ(Send(command), 0);
    EXPECT_EQ(form_->SourceFormat(), kTranslit);
    EXPECT_EQ(form_->DestFormat(), kUnicode);
    // The formats were set before the conversion ran.
    EXPECT_EQ(Clipboard(), u"\u043F\u0440\u0438\u0432\u0435\u0442");
    EXPECT_TRUE(said_.empty());

    // Nothing to convert: status 3, and the reason said.
    ASSERT_TRUE(OpenClipboard(form_->Window()));
    EmptyClipboard();
    CloseClipboard();
    RemoteCommand go;
    go.go = true;
    EXPECT_EQ(Send(go), kExitNoText);
    ASSERT_EQ(said_.size(), 1u);
    EXPECT_NE(said_[0].find("no text to convert"), std::string::npos);

    // The Auto source only as a source; a code outside the formats is refused as a usage error.
    RemoteCommand formats;
    formats.source = kAuto;
    EXPECT_EQ(Send(formats), 0);
    EXPECT_EQ(form_->SourceFormat(), kAuto);
    formats.source.reset();
    formats.dest = kAuto;
    EXPECT_EQ(Send(formats), kExitUsage);
    EXPECT_EQ(form_->DestFormat(), kUnicode);
}

TEST_F(RemoteWin32Test, OneProgramPerSessionUntilExitGivesTheLockBack) {
    RemoteServerWin32 second(name_);
    EXPECT_EQ(second.ClaimSession(), RemoteServerWin32::Claim::kAlreadyRunning);

    RemoteCommand exit;
    exit.exit = true;
    EXPECT_EQ(Send(exit), 0);
    EXPECT_TRUE(form_->ShuttingDown());
    EXPECT_TRUE(fs::exists(folder_ / "settings.ini"));  // Exit wrote the settings
    test::PumpFor(0);

    // After Exit nothing answers, and a new program may start.
    RemoteCommand go;
    go.go = true;
    EXPECT_EQ(Send(go), kExitNotRunning);
    ASSERT_EQ(said_.size(), 1u);
    EXPECT_NE(said_[0].find("not running"), std::string::npos);
    EXPECT_EQ(second.ClaimSession(), RemoteServerWin32::Claim::kOwned);
}

TEST_F(RemoteWin32Test, OnlyWellFormedCommandsAreCarriedOut) {
    HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"LitvorotRemote", name_.c_str());
    ASSERT_NE(window, nullptr);
    auto send = [window](ULONG_PTR magic, const void* data, DWORD size) {
        COPYDATASTRUCT copy{magic, size, const_cast<void*>(data)};
        return SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
    };
    RemoteRequest request;
    request.verb = RemoteRequest::kSetDest;
    request.format = kKoi8;
    // Another program's WM_COPYDATA, a short one, an unknown command: nothing done.
    EXPECT_EQ(send(0x1234, &request, sizeof(request)), 0);
    EXPECT_EQ(send(kRemoteMagic, &request, sizeof(request) - 4), 0);
    RemoteRequest unknown = request;
    unknown.verb = 99;
    EXPECT_EQ(send(kRemoteMagic, &unknown, sizeof(unknown)), 0);
    EXPECT_NE(form_->DestFormat(), kKoi8);
    EXPECT_EQ(send(kRemoteMagic, &request, sizeof(request)), kRemoteDone);
    EXPECT_EQ(form_->DestFormat(), kKoi8);
}

}  // namespace
