// The tray menu of the Windows program: Auto at the end of Source Format, Undo right after Go,
// greyed while there is nothing to undo, and both at work on the real clipboard, which another
// window may take meanwhile or a password manager may have marked.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "clipboard/clipboard_win32.h"
#include "resources/litvorot_rc.h"
#include "shell/frmSplash_win32.h"
#include "shell/modMenu.h"
#include "tests/win32/message_pump.h"
#include "windows/dlgStatus_win32.h"

namespace fs = std::filesystem;

namespace {

using litvorot::MenuCommand;
using litvorot::MenuCommandId;
constexpr UINT IDM_SOURCE_TRANSLIT = MenuCommandId(MenuCommand::SourceTranslit);
constexpr UINT IDM_SOURCE_KOI8 = MenuCommandId(MenuCommand::SourceKOI8);
constexpr UINT IDM_SOURCE_AUTO = MenuCommandId(MenuCommand::SourceAuto);
constexpr UINT IDM_DEST_UNICODE = MenuCommandId(MenuCommand::DestUnicode);
constexpr UINT IDM_GO = MenuCommandId(MenuCommand::Go);
constexpr UINT IDM_UNDO = MenuCommandId(MenuCommand::Undo);

std::vector<std::wstring> Captions(HMENU menu) {
    std::vector<std::wstring> captions;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        captions.emplace_back(text);
    }
    return captions;
}

class MenuWin32Test : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / L"litvorot-menu";
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        form_ = std::make_unique<frmSplash>(folder_);
        ASSERT_TRUE(form_->Form_Load(0));
        clipboard_.SetOwner(form_->Window());
    }
    void TearDown() override {
        form_.reset();
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT) DispatchMessageW(&message);
        }
        fs::remove_all(folder_);
    }
    UINT State(UINT id) const { return GetMenuState(form_->PopupMenu(), id, MF_BYCOMMAND); }
    void Command(UINT id) { SendMessageW(form_->Window(), WM_COMMAND, id, 0); }
    std::u16string Clipboard() {
        return std::u16string(litvorot::TextBeforeNul(clipboard_.GetClipboardText()));
    }
    fs::path folder_;
    std::unique_ptr<frmSplash> form_;
    litvorot::ClipboardWin32 clipboard_{nullptr};
};

TEST_F(MenuWin32Test, AutoEndsTheSourceMenuAndUndoFollowsGoGreyed) {
    HMENU popup = form_->PopupMenu();
    EXPECT_EQ(Captions(popup),
              (std::vector<std::wstring>{L"Options", L"Go", L"Undo", L"", L"Show Table", L"",
                                         L"Help", L"About...", L"Exit"}));
    HMENU options = GetSubMenu(popup, 0);
    EXPECT_EQ(Captions(GetSubMenu(options, 0)),
              (std::vector<std::wstring>{L"Translit", L"KOI8", L"CP 1251", L"Unicode", L"Auto"}));
    EXPECT_EQ(Captions(GetSubMenu(options, 1)),
              (std::vector<std::wstring>{L"Translit", L"KOI8", L"CP 1251", L"Unicode"}));
    EXPECT_EQ(GetMenuItemID(popup, 2), static_cast<UINT>(IDM_UNDO));
    EXPECT_TRUE(State(IDM_UNDO) & MF_GRAYED);
    EXPECT_FALSE(State(IDM_GO) & MF_GRAYED);

    Command(IDM_SOURCE_AUTO);
    EXPECT_EQ(form_->SourceFormat(), 5);
    EXPECT_TRUE(State(IDM_SOURCE_AUTO) & MF_CHECKED);
    EXPECT_FALSE(State(IDM_SOURCE_TRANSLIT) & MF_CHECKED);
    Command(IDM_SOURCE_KOI8);
    EXPECT_FALSE(State(IDM_SOURCE_AUTO) & MF_CHECKED);
    EXPECT_TRUE(State(IDM_SOURCE_KOI8) & MF_CHECKED);
}

TEST_F(MenuWin32Test, AutoRepairsTheClipboardAndUndoPutsItBack) {
    Command(IDM_SOURCE_AUTO);
    Command(IDM_DEST_UNICODE);
    const std::u16string garbled = u"РџСЂРёРІРµС‚";
    ASSERT_TRUE(clipboard_.SetClipboardText(garbled));
    Command(IDM_GO);
    EXPECT_EQ(Clipboard(), u"Привет");
    EXPECT_FALSE(State(IDM_UNDO) & MF_GRAYED);
    Command(IDM_GO);  // soon after: the next reading
    EXPECT_NE(Clipboard(), u"Привет");
    Command(IDM_UNDO);
    EXPECT_EQ(Clipboard(), garbled);
    EXPECT_TRUE(State(IDM_UNDO) & MF_GRAYED);

    // Another text copied since the conversion: Undo leaves it alone.
    Command(IDM_GO);
    ASSERT_TRUE(clipboard_.SetClipboardText(u"copied since"));
    Command(IDM_UNDO);
    EXPECT_EQ(Clipboard(), u"copied since");
    EXPECT_TRUE(State(IDM_UNDO) & MF_GRAYED);
}

bool HasFormat(const wchar_t* name) {
    return IsClipboardFormatAvailable(RegisterClipboardFormatW(name)) != FALSE;
}

TEST_F(MenuWin32Test, UndoIsDroppedOnceAnotherWindowTakesTheClipboard) {
    Command(IDM_DEST_UNICODE);
    ASSERT_TRUE(clipboard_.SetClipboardText(u"privet"));
    Command(IDM_GO);
    ASSERT_EQ(Clipboard(), u"привет");
    // The program's own writes reach its message loop too, and change nothing.
    litvorot::test::PumpFor(300);
    EXPECT_FALSE(State(IDM_UNDO) & MF_GRAYED);

    HWND other = CreateWindowExW(0, L"STATIC", L"another program", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, nullptr, nullptr);
    ASSERT_TRUE(litvorot::ClipboardWin32(other).SetClipboardText(u"copied elsewhere"));
    for (int i = 0; i < 100 && !(State(IDM_UNDO) & MF_GRAYED); ++i) litvorot::test::PumpFor(20);
    EXPECT_TRUE(State(IDM_UNDO) & MF_GRAYED);
    EXPECT_EQ(Clipboard(), u"copied elsewhere");
    DestroyWindow(other);
}

TEST_F(MenuWin32Test, APasswordIsConvertedAndWrittenBackMarked) {
    Command(IDM_DEST_UNICODE);
    ASSERT_TRUE(clipboard_.WriteClipboardText(u"parol'", true));
    Command(IDM_GO);
    EXPECT_EQ(Clipboard(), u"пароль");
    EXPECT_TRUE(HasFormat(L"ExcludeClipboardContentFromMonitorProcessing"));
    EXPECT_TRUE(HasFormat(L"CanIncludeInClipboardHistory"));
    EXPECT_TRUE(HasFormat(L"CanUploadToCloudClipboard"));
}

TEST(StatusWin32AutoTest, TheSourceLineNamesTheReadingAndTheDialogWidensForIt) {
    auto labelText = [](HWND dialog) {
        wchar_t text[128] = {};
        GetDlgItemTextW(dialog, IDC_LABSOURCE, text, 128);
        return std::wstring(text);
    };
    auto clientWidth = [](HWND window) {
        RECT rect{};
        GetClientRect(window, &rect);
        return rect.right;
    };
    // Without a reading 5 is a code like any other: the design text.
    HWND dialog = dlgStatus::Open(5, 4);
    EXPECT_EQ(labelText(dialog), L"Source format:");
    EXPECT_EQ(clientWidth(dialog), 164);
    SendMessageW(dialog, WM_CLOSE, 0, 0);

    dialog = dlgStatus::Open(5, 4, L"English typed on the Russian layout");
    const std::wstring text = labelText(dialog);
    EXPECT_EQ(text, L"Source format: Auto (English typed on the Russian layout)");
    HWND label = GetDlgItem(dialog, IDC_LABSOURCE);
    HDC dc = GetDC(label);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, font);
    ReleaseDC(label, dc);
    RECT rect{};
    GetClientRect(label, &rect);
    EXPECT_GE(rect.right, size.cx);
    EXPECT_GT(clientWidth(dialog), rect.right);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
}

}  // namespace
