// The Win32 clipboard: whole blocks read as they are, texts written up to their first NUL, the
// empty text never written, the message when a block cannot be locked; the program's bounded
// read and the password managers' marks.
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

// ReadClipboard, as the program reads: the answer before the call returns.
ClipboardRead ReadNow(ClipboardWin32& clipboard, ReadLimits limits = {}) {
    ClipboardRead answer;
    bool answered = false;
    clipboard.ReadClipboard(limits, [&](ClipboardRead read) {
        answer = std::move(read);
        answered = true;
    });
    EXPECT_TRUE(answered) << "the read did not answer before it returned";
    return answer;
}

// Adds a block of `bytes` in the registered format `name` to the clipboard as it is.
void AddFormat(HWND window, const wchar_t* name, const std::string& bytes) {
    ASSERT_TRUE(OpenClipboard(window));
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    SetClipboardData(RegisterClipboardFormatW(name), block);
    CloseClipboard();
}

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

// The block of the registered format `name`, or "none".
std::string FormatBytes(const wchar_t* name) {
    if (!OpenClipboard(nullptr)) return "busy";
    std::string bytes = "none";
    if (HANDLE block = GetClipboardData(RegisterClipboardFormatW(name))) {
        bytes.assign(static_cast<const char*>(GlobalLock(block)), GlobalSize(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return bytes;
}

TEST_F(ClipboardWin32Test, ReadingTellsTextFromFilesAndNothing) {
    using Result = ClipboardRead::Result;
    ClipboardWin32 clipboard(window_);
    PutBlock(window_, {'a', 0, 'b', 0, 0, 0, 0, 0});
    ClipboardRead read = ReadNow(clipboard);
    EXPECT_EQ(read.result, Result::kText);
    EXPECT_EQ(read.text, std::u16string(u"ab\0\0", 4));  // the block as it is
    EXPECT_FALSE(read.secret);

    PutBlock(window_, {0, 0});
    EXPECT_EQ(ReadNow(clipboard).result, Result::kNoText);
    PutPicture(window_);
    EXPECT_EQ(ReadNow(clipboard).result, Result::kNoText);
    PutFiles(window_, L"C:\\privet.txt");
    read = ReadNow(clipboard);
    EXPECT_EQ(read.result, Result::kFiles);
    EXPECT_TRUE(read.text.empty());
    ASSERT_TRUE(OpenClipboard(window_));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ClipboardWin32Test, PasswordManagersMarksAreReadAndWrittenBack) {
    ClipboardWin32 clipboard(window_);
    auto secretWith = [&](const wchar_t* format, const std::string& bytes) {
        PutBlock(window_, {'p', 0, 'w', 0, 0, 0});
        AddFormat(window_, format, bytes);
        const ClipboardRead read = ReadNow(clipboard);
        EXPECT_EQ(read.text, std::u16string(u"pw\0", 3));
        return read.secret;
    };
    EXPECT_TRUE(secretWith(L"ExcludeClipboardContentFromMonitorProcessing", std::string(1, '\0')));
    EXPECT_TRUE(secretWith(L"CanIncludeInClipboardHistory", Dword(0)));
    EXPECT_FALSE(secretWith(L"CanIncludeInClipboardHistory", Dword(1)));
    EXPECT_TRUE(secretWith(L"x-kde-passwordManagerHint", "secret"));
    EXPECT_FALSE(secretWith(L"x-kde-passwordManagerHint", "public"));
    EXPECT_FALSE(secretWith(L"CanUploadToCloudClipboard", Dword(0)));  // says nothing of history

    // Written with the mark: the three formats beside the text, all in one change.
    ASSERT_TRUE(clipboard.WriteClipboardText(u"\u043F\u0430\u0440\u043E\u043B\u044C", true));
    EXPECT_NE(FormatBytes(L"ExcludeClipboardContentFromMonitorProcessing"), "none");
    EXPECT_EQ(FormatBytes(L"CanIncludeInClipboardHistory"), Dword(0));
    EXPECT_EQ(FormatBytes(L"CanUploadToCloudClipboard"), Dword(0));
    ClipboardRead read = ReadNow(clipboard);
    EXPECT_EQ(read.text, std::u16string(u"\u043F\u0430\u0440\u043E\u043B\u044C\0", 7));
    EXPECT_TRUE(read.secret);
    EXPECT_EQ(GetClipboardOwner(), window_);

    // Without it: none of them, and the text reads as an ordinary one.
    ASSERT_TRUE(clipboard.WriteClipboardText(u"open", false));
    for (const wchar_t* format : {L"ExcludeClipboardContentFromMonitorProcessing",
                                  L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"}) {
        EXPECT_EQ(FormatBytes(format), "none");
    }
    EXPECT_FALSE(ReadNow(clipboard).secret);
    EXPECT_TRUE(messages_.empty());
}

// A block whose size claims a terabyte, its first units without a NUL: a reader that went past
// the limit would read beyond the memory there is.
const std::u16string kLongUnits(17, u'x');
HANDLE WINAPI HugeData(UINT format) {
    return format == CF_UNICODETEXT ? reinterpret_cast<HANDLE>(1) : nullptr;
}
LPVOID WINAPI HugeLock(HGLOBAL) { return const_cast<char16_t*>(kLongUnits.data()); }
SIZE_T WINAPI HugeSize(HGLOBAL) { return SIZE_T{1} << 40; }
BOOL WINAPI NoFiles(UINT) { return FALSE; }

TEST_F(ClipboardWin32Test, ATextOverTheLimitIsNotCopied) {
    using Result = ClipboardRead::Result;
    ClipboardWin32 clipboard(window_);
    ReadLimits limits;
    limits.maxUnits = 16;
    ASSERT_TRUE(clipboard.SetClipboardText(std::u16string(16, u'x')));
    EXPECT_EQ(ReadNow(clipboard, limits).result, Result::kText);
    ASSERT_TRUE(clipboard.SetClipboardText(std::u16string(17, u'x')));
    ClipboardRead read = ReadNow(clipboard, limits);
    EXPECT_EQ(read.result, Result::kTooLarge);
    EXPECT_TRUE(read.text.empty());
    // A short text in a block larger than the limit: the text and its NUL.
    std::vector<unsigned char> bytes(200, 0);
    bytes[0] = 'o';
    bytes[2] = 'k';
    PutBlock(window_, bytes);
    read = ReadNow(clipboard, limits);
    EXPECT_EQ(read.result, Result::kText);
    EXPECT_EQ(read.text, std::u16string(u"ok\0", 3));

    ClipboardApi huge;
    huge.getClipboardData = HugeData;
    huge.isClipboardFormatAvailable = NoFiles;
    huge.globalLock = HugeLock;
    huge.globalSize = HugeSize;
    huge.globalUnlock = [](HGLOBAL) -> BOOL { return FALSE; };
    ClipboardWin32 hugeClipboard(window_, huge);
    EXPECT_EQ(ReadNow(hugeClipboard, limits).result, Result::kTooLarge);
}

TEST_F(ClipboardWin32Test, ALockFailureIsAnsweredWithItsMessageNotShown) {
    std::vector<std::string> recorded;
    calls = &recorded;
    ClipboardApi api;
    api.openClipboard = FakeOpen;
    api.getClipboardData = FakeGetData;
    api.isClipboardFormatAvailable = NoFiles;
    api.globalLock = FailingLock;
    api.closeClipboard = FakeClose;
    ClipboardWin32 clipboard(window_, api);
    std::vector<std::string> callsWhenAnswered;
    clipboard.ReadClipboard(ReadLimits{}, [&](ClipboardRead read) {
        callsWhenAnswered = recorded;
        EXPECT_EQ(read.result, ClipboardRead::Result::kFailed);
        EXPECT_EQ(read.message, "Could not lock memory to copy string from.");
        EXPECT_TRUE(read.text.empty());
    });
    // Answered once the clipboard is closed again, and nothing shown on the way.
    EXPECT_EQ(callsWhenAnswered, (std::vector<std::string>{"open", "get", "lock", "close"}));
    EXPECT_TRUE(messages_.empty());
    calls = nullptr;
}

}  // namespace
