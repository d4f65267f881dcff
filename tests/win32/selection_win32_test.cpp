// Replacing the selection on Windows, step by step, on an edit control of the test's own: the
// decisions (integrity levels, the keys around held modifiers), the whole clipboard kept and put
// back, the copy known from the clipboard, the paste fetched, never fetched or overtaken by
// another owner, held modifiers; Shift+Pause beside Ctrl+Space, and the notice when it is taken.
// Who may fetch the pasted text is tested end to end (selection_win32_test.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clipboard/clipboard_win32.h"
#include "shell/frmSplash_win32.h"
#include "shell/modHotKeyTaken.h"
#include "shell/modHotKey_win32.h"
#include "shell/modSelection_win32.h"
#include "shell/modSystemTray_win32.h"
#include "tests/win32/message_pump.h"
#include "tests/win32/temp_folder.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;
using namespace std::chrono_literals;
using PasteResult = SelectionDesktop::PasteResult;
namespace fs = std::filesystem;

namespace {

// Pumps messages until `done` or `milliseconds` have passed; whether `done` came true.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 3000) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!done()) {
        if (GetTickCount64() >= end) return false;
        test::PumpFor(5);
    }
    return true;
}

void PutText(HWND owner, const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"(busy)";
    if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return text;
}

// The bytes of `format` on the clipboard, or nothing.
std::optional<std::string> Bytes(UINT format) {
    if (!OpenClipboard(nullptr)) return std::nullopt;
    std::optional<std::string> bytes;
    if (HANDLE block = GetClipboardData(format)) {
        bytes.emplace(static_cast<const char*>(GlobalLock(block)), GlobalSize(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return bytes;
}

void Send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::vector<std::pair<WORD, bool>> Strokes(const std::vector<INPUT>& inputs) {
    std::vector<std::pair<WORD, bool>> strokes;
    for (const INPUT& input : inputs) {
        strokes.emplace_back(input.ki.wVk, (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0);
    }
    return strokes;
}

TEST(SelectionWin32Decisions, KeysGoOnlyToWindowsOfNoHigherIntegrity) {
    constexpr DWORD low = SECURITY_MANDATORY_LOW_RID, medium = SECURITY_MANDATORY_MEDIUM_RID,
                    high = SECURITY_MANDATORY_HIGH_RID;
    EXPECT_TRUE(TakesKeysFrom(medium, medium));
    EXPECT_TRUE(TakesKeysFrom(low, medium));
    EXPECT_FALSE(TakesKeysFrom(high, medium));  // a program run as administrator
    EXPECT_TRUE(TakesKeysFrom(high, high));
    // A process whose level cannot be read, because this one may not open it for that.
    EXPECT_FALSE(TakesKeysFrom(std::nullopt, high));
    // This process's own level can be read; no process has the identifier 3 (they are even).
    const std::optional<DWORD> own = ProcessIntegrity(GetCurrentProcessId());
    ASSERT_TRUE(own.has_value());
    EXPECT_GE(*own, low);
    EXPECT_FALSE(ProcessIntegrity(3).has_value());
}

TEST(SelectionWin32Decisions, HeldModifiersAreLetGoAroundTheKeysAndPressedAgain) {
    using Strokes_ = std::vector<std::pair<WORD, bool>>;
    // A Shift still held would turn Ctrl+C into Ctrl+Shift+C.
    EXPECT_EQ(Strokes(KeysAround({VK_LSHIFT}, {VK_CONTROL}, 'C')), (Strokes_{{VK_LSHIFT, true},
                                                                             {VK_CONTROL, false},
                                                                             {'C', false},
                                                                             {'C', true},
                                                                             {VK_CONTROL, true},
                                                                             {VK_LSHIFT, false}}));
    // Nothing held: the chord alone, the key as often as asked.
    EXPECT_EQ(Strokes(KeysAround({}, {VK_SHIFT}, VK_LEFT, 2)), (Strokes_{{VK_SHIFT, false},
                                                                         {VK_LEFT, false},
                                                                         {VK_LEFT, true},
                                                                         {VK_LEFT, false},
                                                                         {VK_LEFT, true},
                                                                         {VK_SHIFT, true}}));
    // A held Alt is masked on its way up and down: alone, it would open the menu bar.
    const std::vector<INPUT> alt = KeysAround({VK_LMENU}, {VK_CONTROL}, 'V');
    ASSERT_EQ(alt.size(), 10u);
    EXPECT_EQ(alt[0].ki.wVk, alt[1].ki.wVk);
    EXPECT_NE(alt[0].ki.wVk, VK_LMENU);
    EXPECT_EQ(Strokes({alt[2]}), (Strokes_{{VK_LMENU, true}}));
    EXPECT_EQ(Strokes({alt[7]}), (Strokes_{{VK_LMENU, false}}));
    EXPECT_EQ(alt[8].ki.wVk, alt[0].ki.wVk);
    // Arrows and Insert are the extended keys, not the keypad's (digits with Num Lock).
    EXPECT_NE(KeysAround({}, {}, VK_LEFT)[0].ki.dwFlags & KEYEVENTF_EXTENDEDKEY, 0u);
    EXPECT_NE(KeysAround({}, {VK_SHIFT}, VK_INSERT)[1].ki.dwFlags & KEYEVENTF_EXTENDEDKEY, 0u);
    EXPECT_EQ(KeysAround({}, {VK_CONTROL}, 'C')[1].ki.dwFlags & KEYEVENTF_EXTENDEDKEY, 0u);
}

// An editor of the test's own: a top-level window with a multi-line edit control, in front.
class SelectionDesktopWin32Test : public testing::Test {
  protected:
    void SetUp() override {
        static const ATOM windowClass = [] {
            WNDCLASSW description{};
            description.lpfnWndProc = DefWindowProcW;
            description.hInstance = GetModuleHandleW(nullptr);
            description.lpszClassName = L"SelectionTestEditor";
            return RegisterClassW(&description);
        }();
        ASSERT_NE(windowClass, 0);
        top_ = CreateWindowExW(0, L"SelectionTestEditor", L"editor", WS_OVERLAPPEDWINDOW, 10, 10,
                               300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 280,
                                150, top_, nullptr, GetModuleHandleW(nullptr), nullptr);
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(edit_, nullptr);
        ShowWindow(top_, SW_SHOWNORMAL);
        SetForegroundWindow(top_);
        SetFocus(edit_);
        test::PumpFor(50);
        PutText(owner_, L"the user's text");
    }
    void TearDown() override {
        desktop_.reset();
        DestroyWindow(top_);
        DestroyWindow(owner_);
        test::PumpFor(0);
    }
    // Creates the desktop with these limits and makes the editor its target.
    FrontWindow Target(SelectionDesktopWin32::Limits limits = {}) {
        desktop_ = std::make_unique<SelectionDesktopWin32>(limits);
        return desktop_->Describe(top_);
    }
    void SetText(const wchar_t* text, int start, int end) {
        SetWindowTextW(edit_, text);
        SendMessageW(edit_, EM_SETSEL, start, end);
    }
    std::wstring Text() const {
        wchar_t text[256] = {};
        GetWindowTextW(edit_, text, 256);
        return text;
    }
    std::pair<DWORD, DWORD> Selection() const {
        DWORD start = 0, end = 0;
        SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }
    // Runs a step that answers through `done` and pumps until it has answered.
    template <typename Result, typename Step>
    std::optional<Result> Await(Step step, DWORD milliseconds = 5000) {
        std::optional<Result> answer;
        step([&answer](Result result) { answer = result; });
        PumpUntil([&answer] { return answer.has_value(); }, milliseconds);
        return answer;
    }

    HWND top_ = nullptr;
    HWND edit_ = nullptr;
    HWND owner_ = nullptr;
    std::unique_ptr<SelectionDesktopWin32> desktop_;
};

TEST_F(SelectionDesktopWin32Test, TheWindowInFrontIsDescribedAndThisProgramsOwnIsNone) {
    const FrontWindow editor = Target();
    EXPECT_TRUE(editor.exists);
    EXPECT_FALSE(editor.terminal);
    EXPECT_TRUE(editor.acceptsKeys);
    EXPECT_EQ(editor.name, "SelectionTestEditor/Edit");
    // The editor is this program's: nothing to replace there.
    ASSERT_EQ(GetForegroundWindow(), top_);
    EXPECT_FALSE(desktop_->Front().exists);
}

TEST_F(SelectionDesktopWin32Test, EveryFormatComesBackAndAnEmptyClipboardStaysEmpty) {
    Target();
    // A text, a format of a program's own, a picture (as a bitmap, whose device-independent form
    // the system makes) and a vector drawing.
    const UINT own = RegisterClipboardFormatW(L"Litvorot Test Format");
    ASSERT_TRUE(OpenClipboard(owner_));
    EmptyClipboard();
    const std::wstring text = L"the user's \u0442\u0435\u043A\u0441\u0442";
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    HGLOBAL ownBlock = GlobalAlloc(GMEM_MOVEABLE, 5);
    std::memcpy(GlobalLock(ownBlock), "a\0b\0c", 5);
    GlobalUnlock(ownBlock);
    SetClipboardData(own, ownBlock);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 2);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetPixel(memory, 1, 1, RGB(255, 0, 0));
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    SetClipboardData(CF_BITMAP, bitmap);
    HDC drawing = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    Rectangle(drawing, 0, 0, 20, 10);
    SetClipboardData(CF_ENHMETAFILE, CloseEnhMetaFile(drawing));
    CloseClipboard();
    const std::optional<std::string> dib = Bytes(CF_DIB);
    ASSERT_TRUE(dib.has_value());

    ASSERT_EQ(Await<bool>([&](auto done) { desktop_->KeepClipboard(done); }), true);
    PutText(owner_, L"the selection");
    desktop_->RestoreClipboard();
    EXPECT_EQ(ClipboardText(), text);
    EXPECT_EQ(Bytes(own), std::string("a\0b\0c", 5));
    EXPECT_EQ(Bytes(CF_DIB), dib);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_ENHMETAFILE));
    EXPECT_EQ(GetClipboardOwner(), desktop_->Window());

    // An empty clipboard is kept as empty.
    ASSERT_TRUE(OpenClipboard(owner_));
    EmptyClipboard();
    CloseClipboard();
    ASSERT_EQ(Await<bool>([&](auto done) { desktop_->KeepClipboard(done); }), true);
    PutText(owner_, L"the selection");
    desktop_->RestoreClipboard();
    EXPECT_EQ(CountClipboardFormats(), 0);
}

TEST_F(SelectionDesktopWin32Test, MoreThanTheLimitIsNotKeptAndNothingIsTouched) {
    SelectionDesktopWin32::Limits limits;
    limits.keepMaxBytes = 100;
    Target(limits);
    PutText(owner_, std::wstring(60, L'x'));
    const DWORD sequence = GetClipboardSequenceNumber();
    EXPECT_EQ(Await<bool>([&](auto done) { desktop_->KeepClipboard(done); }), false);
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(ClipboardText(), std::wstring(60, L'x'));
}

TEST_F(SelectionDesktopWin32Test, TheCopyIsKnownFromTheClipboardAndNothingSelectedCopiesNothing) {
    const FrontWindow editor = Target();
    SetText(L"privet mir", 0, 6);
    ASSERT_EQ(Await<bool>([&](auto done) { desktop_->KeepClipboard(done); }), true);
    EXPECT_EQ(Await<bool>([&](auto done) { desktop_->Copy(editor, 1500ms, done); }), true);
    EXPECT_EQ(ClipboardText(), L"privet");
    desktop_->RestoreClipboard();
    EXPECT_EQ(ClipboardText(), L"the user's text");

    // Nothing selected: the clipboard never changes hands, and the limit ends the wait.
    SetText(L"privet mir", 3, 3);
    const DWORD sequence = GetClipboardSequenceNumber();
    ASSERT_EQ(Await<bool>([&](auto done) { desktop_->KeepClipboard(done); }), true);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Await<bool>([&](auto done) { desktop_->Copy(editor, 300ms, done); }), false);
    EXPECT_GE(GetTickCount64() - start, 280u);
    desktop_->DropKeptClipboard();
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(Text(), L"privet mir");
}

TEST_F(SelectionDesktopWin32Test, ThePasteIsMarkedFetchedByTheWindowAndTheClipboardPutBack) {
    const FrontWindow editor = Target();
    SetText(L"privet mir", 0, 6);
    ASSERT_EQ(Await<bool>([&](auto done) { desktop_->KeepClipboard(done); }), true);
    EXPECT_EQ(Await<PasteResult>([&](auto done) {
                  desktop_->Paste(editor, u"\u043F\u0440\u0438\u0432\u0435\u0442", 3000ms, done);
              }),
              PasteResult::kFetched);
    EXPECT_EQ(Text(), L"\u043F\u0440\u0438\u0432\u0435\u0442 mir");
    // The temporary text carries the marks that keep it out of histories and managers.
    EXPECT_EQ(Bytes(RegisterClipboardFormatW(kHistoryFormat)), std::string(4, '\0'));
    EXPECT_TRUE(IsClipboardFormatAvailable(RegisterClipboardFormatW(kExcludeFromMonitorFormat)));
    EXPECT_TRUE(IsClipboardFormatAvailable(RegisterClipboardFormatW(kCloudFormat)));
    desktop_->RestoreClipboard();
    EXPECT_EQ(ClipboardText(), L"the user's text");
    EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatW(kHistoryFormat)));

    // Selected again with Shift+Left, one key a character.
    desktop_->SelectBack(editor, 6);
    EXPECT_TRUE(PumpUntil([this] { return Selection() == std::pair<DWORD, DWORD>(0, 6); }))
        << Selection().first << " " << Selection().second;
}

TEST_F(SelectionDesktopWin32Test, AWindowThatNeverFetchesOrAnotherOwnerEndsThePaste) {
    // A window in front that pastes nothing: the limit ends the wait, the clipboard goes back.
    HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top_,
                                 nullptr, nullptr, nullptr);
    SetFocus(plain);
    const FrontWindow window = Target();
    ASSERT_EQ(Await<bool>([&](auto done) { desktop_->KeepClipboard(done); }), true);
    EXPECT_EQ(Await<PasteResult>([&](auto done) { desktop_->Paste(window, u"x", 300ms, done); }),
              PasteResult::kTimedOut);
    desktop_->RestoreClipboard();
    EXPECT_EQ(ClipboardText(), L"the user's text");

    // Another program takes the clipboard before the window asked: its text stays.
    ASSERT_EQ(Await<bool>([&](auto done) { desktop_->KeepClipboard(done); }), true);
    std::optional<PasteResult> result;
    desktop_->Paste(window, u"x", 3000ms, [&result](PasteResult r) { result = r; });
    test::PumpFor(50);
    EXPECT_FALSE(result.has_value());
    PutText(owner_, L"theirs");
    ASSERT_TRUE(PumpUntil([&result] { return result.has_value(); }));
    EXPECT_EQ(*result, PasteResult::kTaken);
    desktop_->RestoreClipboard();
    EXPECT_EQ(ClipboardText(), L"theirs");
}

TEST_F(SelectionDesktopWin32Test, ModifiersStillHeldAreLetGoAroundTheKeysAndLeftHeld) {
    const FrontWindow editor = Target();
    SetText(L"abc defgh", 9, 9);
    // The user still holds Ctrl: the wait ends at its limit.
    Send({KeyStroke(VK_LCONTROL, false)});
    ASSERT_TRUE(PumpUntil([] { return GetAsyncKeyState(VK_LCONTROL) < 0; }));
    EXPECT_EQ(Await<bool>([&](auto done) { desktop_->WaitForModifiersUp(200ms, done); }), false);
    // Ctrl+Shift+Left would select the word "defgh": three characters are selected, and Ctrl is
    // still down afterwards.
    desktop_->SelectBack(editor, 3);
    EXPECT_TRUE(PumpUntil([this] { return Selection() == std::pair<DWORD, DWORD>(6, 9); }))
        << Selection().first << " " << Selection().second;
    EXPECT_LT(GetAsyncKeyState(VK_LCONTROL), 0);
    Send({KeyStroke(VK_LCONTROL, true)});
    EXPECT_EQ(Await<bool>([&](auto done) { desktop_->WaitForModifiersUp(2000ms, done); }), true);
}

// Shift+Pause beside Ctrl+Space, on one window.
TEST(SelectionHotKeyWin32Test, BothKeysRunTheirOwnCommandAndGoTheirOwnWay) {
    HWND window = CreateWindowExW(0, L"STATIC", L"keys", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    const LONG_PTR own = GetWindowLongPtrW(window, GWLP_WNDPROC);
    int converts = 0, replaces = 0;
    Win32HotKey convert, selection(Win32HotKey::Which::kSelection);
    convert.SetWindow(window);
    selection.SetWindow(window);
    ASSERT_TRUE(convert.RegisterAppHotKey(kModControl, kKeySpace, [&] { ++converts; }));
    ASSERT_TRUE(selection.RegisterAppHotKey(kModShift, kKeyPause, [&] { ++replaces; }));
    EXPECT_NE(selection.Id(), convert.Id());
    EXPECT_EQ(convert.Id(), HotKeyId());

    Send({KeyStroke(VK_SHIFT, false), KeyStroke(VK_PAUSE, false), KeyStroke(VK_PAUSE, true),
          KeyStroke(VK_SHIFT, true)});
    EXPECT_TRUE(PumpUntil([&] { return replaces == 1; }));
    Send({KeyStroke(VK_CONTROL, false), KeyStroke(VK_SPACE, false), KeyStroke(VK_SPACE, true),
          KeyStroke(VK_CONTROL, true)});
    EXPECT_TRUE(PumpUntil([&] { return converts == 1; }));
    EXPECT_EQ(replaces, 1);

    // One key gone, the other still works through the replaced procedure.
    convert.UnregisterAppHotKey();
    EXPECT_NE(GetWindowLongPtrW(window, GWLP_WNDPROC), own);
    Send({KeyStroke(VK_SHIFT, false), KeyStroke(VK_PAUSE, false), KeyStroke(VK_PAUSE, true),
          KeyStroke(VK_SHIFT, true)});
    EXPECT_TRUE(PumpUntil([&] { return replaces == 2; }));
    selection.UnregisterAppHotKey();
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), own);
    DestroyWindow(window);
}

// Shift+Pause held by another program: the program runs on and says so, in the tip and once in a
// balloon; with Ctrl+Space taken too, one balloon tells both.
class SelectionKeyNoticeWin32Test : public testing::Test {
  protected:
    void SetUp() override {
        holder_ = CreateWindowExW(0, L"STATIC", L"holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    }
    void TearDown() override {
        form_.reset();
        test::PumpFor(0);
        UnregisterHotKey(holder_, 1);
        UnregisterHotKey(holder_, 2);
        DestroyWindow(holder_);
    }
    void Start() {
        TrayBalloonData = NOTIFYICONDATAW{};
        form_ = std::make_unique<frmSplash>(folder_, folder_ / L"Litvorot" / L"hotkey-taken");
        ASSERT_TRUE(form_->Form_Load(0));
    }
    test::TempFolder temp_{L"litvorot-selection-notice"};
    const fs::path& folder_ = temp_.Path();
    HWND holder_ = nullptr;
    std::unique_ptr<frmSplash> form_;
};

TEST_F(SelectionKeyNoticeWin32Test, ATakenShiftPauseIsToldAndBothKeysInOneBalloon) {
    EXPECT_LE(kSelectionKeyTakenTipWindows.size(), 63u);
    EXPECT_LE(kBothKeysTakenTipWindows.size(), 63u);
    ASSERT_TRUE(RegisterHotKey(holder_, 1, MOD_SHIFT, VK_PAUSE));
    Start();
    if (TrayIconData.hWnd == nullptr || !Shell_NotifyIconA(NIM_MODIFY, &TrayIconData)) {
        GTEST_SKIP() << "no tray host on this desktop";
    }
    EXPECT_TRUE(form_->HotKeyRegistered());
    EXPECT_FALSE(form_->SelectionHotKeyRegistered());
    EXPECT_EQ(std::string(TrayIconData.szTip), kSelectionKeyTakenTipWindows);
    EXPECT_EQ(std::wstring(TrayBalloonData.szInfoTitle), Widen(kSelectionKeyTakenTitle));
    EXPECT_TRUE(fs::exists(folder_ / L"Litvorot" / kSelectionKeyNoticeName));
    // Told once: the next start shows the tip only.
    Start();
    EXPECT_EQ(std::string(TrayIconData.szTip), kSelectionKeyTakenTipWindows);
    EXPECT_EQ(TrayBalloonData.hWnd, nullptr);

    // Both taken, both news: one balloon for both.
    form_.reset();
    fs::remove_all(folder_ / L"Litvorot");
    ASSERT_TRUE(RegisterHotKey(holder_, 2, MOD_CONTROL, VK_SPACE));
    Start();
    EXPECT_EQ(std::string(TrayIconData.szTip), kBothKeysTakenTipWindows);
    EXPECT_EQ(std::wstring(TrayBalloonData.szInfoTitle), Widen(kBothKeysTakenTitle));
    EXPECT_EQ(std::wstring(TrayBalloonData.szInfo), Widen(kBothKeysTakenMessageWindows));

    // Free again: the record goes.
    form_.reset();
    UnregisterHotKey(holder_, 1);
    UnregisterHotKey(holder_, 2);
    Start();
    EXPECT_TRUE(form_->SelectionHotKeyRegistered());
    EXPECT_EQ(std::string(TrayIconData.szTip), "Litvorot");
    EXPECT_FALSE(fs::exists(folder_ / L"Litvorot" / kSelectionKeyNoticeName));
}

}  // namespace
