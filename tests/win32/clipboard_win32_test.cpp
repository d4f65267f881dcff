// The Win32 clipboard: whole blocks read as they are, texts written up to their first NUL, the
// empty text never written, and the message when a block cannot be locked.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "clipboard/clipboard_win32.h"
#include "tables/modMessages.h"

using namespace litvorot;

namespace {

HWND MakeWindow() {
    return CreateWindowExW(0, L"STATIC", L"clipboard test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           nullptr, nullptr);
}

// Puts a CF_UNICODETEXT block of exactly these bytes on the clipboard.
void PutBlock(HWND window, const std::vector<unsigned char>& bytes) {
    ASSERT_TRUE(OpenClipboard(window));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

// Puts only a picture on the clipboard.
void PutPicture(HWND window) {
    ASSERT_TRUE(OpenClipboard(window));
    EmptyClipboard();
    HDC screen = GetDC(nullptr);
    SetClipboardData(CF_BITMAP, CreateCompatibleBitmap(screen, 4, 4));
    ReleaseDC(nullptr, screen);
    CloseClipboard();
}

// Puts files as a file manager copies them: CF_HDROP naming `path`, and the path as text beside
// it.
void PutFiles(HWND window, const std::wstring& path) {
    ASSERT_TRUE(OpenClipboard(window));
    EmptyClipboard();
    // DROPFILES, then the names, each ended by a NUL, and one more NUL after the last.
    const SIZE_T namesSize = (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + namesSize);
    auto* header = static_cast<DROPFILES*>(GlobalLock(drop));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), path.c_str(),
                path.size() * sizeof(wchar_t));
    GlobalUnlock(drop);
    SetClipboardData(CF_HDROP, drop);
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (path.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(text), path.c_str(), path.size() * sizeof(wchar_t));
    GlobalUnlock(text);
    SetClipboardData(CF_UNICODETEXT, text);
    CloseClipboard();
}

// The current CF_UNICODETEXT block's size, or -1 when there is none.
long long BlockSize() {
    if (!OpenClipboard(nullptr)) return -2;
    HANDLE block = GetClipboardData(CF_UNICODETEXT);
    const long long size = block != nullptr ? static_cast<long long>(GlobalSize(block)) : -1;
    CloseClipboard();
    return size;
}

class ClipboardWin32Test : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = MakeWindow();
        ASSERT_NE(window_, nullptr);
        previousHook_ =
            SetMessageHook([this](std::string_view text) { messages_.emplace_back(text); });
    }
    void TearDown() override {
        SetMessageHook(previousHook_);
        DestroyWindow(window_);
    }
    HWND window_ = nullptr;
    std::vector<std::string> messages_;
    MessageHook previousHook_;
};

TEST_F(ClipboardWin32Test, ReadsTheWholeBlockWhateverItsSize) {
    ClipboardWin32 clipboard(window_);
    PutBlock(window_, {'a', 0, 'b', 0, 0, 0});
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(u"ab\0", 3));
    PutBlock(window_, {'a', 0, 'b', 0, 0, 0, 0, 0});
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(u"ab\0\0", 4));
    PutBlock(window_, {'a', 0, 'b', 0, 0, 0, 0x41});  // an odd last byte is dropped
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(u"ab\0", 3));
    PutBlock(window_, {0x3F, 0x04, 0x40, 0x04, 0, 0});  // no code page conversion
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(u"\u043F\u0440\0", 3));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ClipboardWin32Test, TheEmptyTextOnTheClipboardIsOneNul) {
    ClipboardWin32 clipboard(window_);
    PutBlock(window_, {0, 0});
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(1, u'\0'));
}

TEST_F(ClipboardWin32Test, NoTextGivesTheEmptyTextSilently) {
    ClipboardWin32 clipboard(window_);
    ASSERT_TRUE(OpenClipboard(window_));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(clipboard.GetClipboardText(), u"");

    PutPicture(window_);
    EXPECT_EQ(clipboard.GetClipboardText(), u"");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ClipboardWin32Test, CopiedFilesAreNoTextAndStayOnTheClipboard) {
    ClipboardWin32 clipboard(window_);
    PutFiles(window_, L"C:\\privet.txt");
    EXPECT_EQ(clipboard.GetClipboardText(), u"");
    EXPECT_FALSE(clipboard.SetClipboardText(u""));  // what the conversion command then writes
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));
    EXPECT_EQ(BlockSize(), static_cast<long long>(sizeof(L"C:\\privet.txt")));
    EXPECT_TRUE(messages_.empty());
    // The clipboard outlives this process in the Wine session: files left there would hide
    // the text from the tests that come after.
    ASSERT_TRUE(OpenClipboard(window_));
    EmptyClipboard();
    CloseClipboard();
}

TEST_F(ClipboardWin32Test, WritesUpToTheFirstNulInABlockOfTheTextsSize) {
    ClipboardWin32 clipboard(window_);
    EXPECT_TRUE(clipboard.SetClipboardText(std::u16string(u"ab\0", 3)));
    EXPECT_EQ(BlockSize(), 6);
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(u"ab\0", 3));

    EXPECT_TRUE(clipboard.SetClipboardText(u"abc"));
    EXPECT_EQ(BlockSize(), 8);
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(u"abc\0", 4));

    EXPECT_TRUE(clipboard.SetClipboardText(std::u16string(u"ab\0cd", 5)));
    EXPECT_EQ(BlockSize(), 10);
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(u"ab\0\0\0", 5));
}

TEST_F(ClipboardWin32Test, WritingReplacesEverythingAndOwnsTheClipboard) {
    PutPicture(window_);
    ClipboardWin32 clipboard(window_);
    ASSERT_TRUE(clipboard.SetClipboardText(u"\u041F\u0440\u0438\u0432\u0435\u0442\r\n"));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_EQ(GetClipboardOwner(), window_);
    // A round trip without conversion leaves the same text.
    const std::u16string text = clipboard.GetClipboardText();
    ASSERT_TRUE(clipboard.SetClipboardText(text));
    EXPECT_EQ(clipboard.GetClipboardText(), text);
}

TEST_F(ClipboardWin32Test, TheEmptyTextIsNeverWritten) {
    ClipboardWin32 clipboard(window_);
    ASSERT_TRUE(clipboard.SetClipboardText(u"keep"));
    EXPECT_FALSE(clipboard.SetClipboardText(u""));
    EXPECT_FALSE(clipboard.SetClipboardText(std::u16string(u"\0abc", 4)));
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(u"keep\0", 5));
}

TEST_F(ClipboardWin32Test, AClipboardHeldByAnotherProgramIsLeftAlone) {
    ClipboardWin32 clipboard(window_);
    ASSERT_TRUE(clipboard.SetClipboardText(u"before"));

    std::atomic<int> stage{0};
    std::thread holder([&stage] {
        HWND other = MakeWindow();
        if (OpenClipboard(other)) {
            stage = 1;
            while (stage != 2) Sleep(5);
            CloseClipboard();
        } else {
            stage = -1;
        }
        DestroyWindow(other);
    });
    while (stage == 0) Sleep(5);
    ASSERT_EQ(stage, 1);
    EXPECT_EQ(clipboard.GetClipboardText(), u"");
    EXPECT_FALSE(clipboard.SetClipboardText(u"after"));
    stage = 2;
    holder.join();
    EXPECT_EQ(clipboard.GetClipboardText(), std::u16string(u"before\0", 7));
    EXPECT_TRUE(messages_.empty());
}

// A fake set of clipboard calls that records their order.
std::vector<std::string>* calls = nullptr;
BOOL WINAPI FakeOpen(HWND) { return calls->push_back("open"), TRUE; }
HANDLE WINAPI FakeGetData(UINT) { return calls->push_back("get"), reinterpret_cast<HANDLE>(1); }
LPVOID WINAPI FailingLock(HGLOBAL) { return calls->push_back("lock"), nullptr; }
BOOL WINAPI FakeClose() { return calls->push_back("close"), TRUE; }
HGLOBAL WINAPI FreeAndRecord(HGLOBAL block) { return calls->push_back("free"), GlobalFree(block); }
BOOL WINAPI StaysLocked(HGLOBAL block) {
    return calls->push_back("unlock"), GlobalUnlock(block), TRUE;
}
BOOL WINAPI Refuses(HWND) { return calls->push_back("open"), FALSE; }
HANDLE WINAPI RefusesData(UINT, HANDLE) { return calls->push_back("set"), nullptr; }

TEST_F(ClipboardWin32Test, ABlockThatCannotBeLockedIsReportedWhileTheClipboardIsOpen) {
    std::vector<std::string> recorded;
    calls = &recorded;
    SetMessageHook([this](std::string_view text) {
        messages_.emplace_back(text);
        calls->push_back("message");
    });
    ClipboardApi api;
    api.openClipboard = FakeOpen;
    api.getClipboardData = FakeGetData;
    api.globalLock = FailingLock;
    api.closeClipboard = FakeClose;
    ClipboardWin32 clipboard(window_, api);
    EXPECT_EQ(clipboard.GetClipboardText(), u"");
    EXPECT_EQ(recorded, (std::vector<std::string>{"open", "get", "lock", "message", "close"}));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "Could not lock memory to copy string from.");
    calls = nullptr;
}

// Writes "x" through `api`, which must fail, with the freeing of the block recorded; gives the
// recorded calls.
std::vector<std::string> FailedWriteCalls(HWND window, ClipboardApi api) {
    std::vector<std::string> recorded;
    calls = &recorded;
    api.globalFree = FreeAndRecord;
    EXPECT_FALSE(ClipboardWin32(window, api).SetClipboardText(u"x"));
    calls = nullptr;
    return recorded;
}

TEST_F(ClipboardWin32Test, FailedWritesFreeTheBlockAndReportFalse) {
    ClipboardApi stuck;
    stuck.globalUnlock = StaysLocked;
    EXPECT_EQ(FailedWriteCalls(window_, stuck), (std::vector<std::string>{"unlock", "free"}));
    ClipboardApi refused;
    refused.openClipboard = Refuses;
    EXPECT_EQ(FailedWriteCalls(window_, refused), (std::vector<std::string>{"open", "free"}));
    // The system does not take the block: the block is still ours, and the write failed.
    ClipboardApi notTaken;
    notTaken.setClipboardData = RefusesData;
    EXPECT_EQ(FailedWriteCalls(window_, notTaken), (std::vector<std::string>{"set", "free"}));
    EXPECT_TRUE(messages_.empty());
}

}  // namespace
