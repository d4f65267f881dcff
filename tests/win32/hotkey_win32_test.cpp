// The global hot key: Ctrl+Space, typed through SendInput, runs the command; other combinations
// and other messages reach the window's own procedure; a second registration is refused.
#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <vector>

#include "shell/modHotKey_win32.h"

using namespace litvorot;

namespace {

int commands = 0;
int ownMessages = 0;
WPARAM lastOwnWParam = 0;

void Command() { ++commands; }

LRESULT CALLBACK OwnProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP || message == WM_HOTKEY) {
        ++ownMessages;
        lastOwnWParam = wParam;
        return 7;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow() {
    static const ATOM windowClass = [] {
        WNDCLASSW description{};
        description.lpfnWndProc = OwnProc;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = L"HotKeyTestWindow";
        return RegisterClassW(&description);
    }();
    return CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(windowClass)),
                           L"hot key test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

void Pump(DWORD milliseconds, int untilCommands = -1) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end && commands != untilCommands) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(5);
    }
}

INPUT Key(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Presses the modifiers, taps Space, releases the modifiers.
void Type(std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> inputs;
    for (WORD key : modifiers) inputs.push_back(Key(key, false));
    inputs.push_back(Key(VK_SPACE, false));
    inputs.push_back(Key(VK_SPACE, true));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) {
        inputs.push_back(Key(*it, true));
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

class HotKeyWin32Test : public ::testing::Test {
  protected:
    void SetUp() override {
        commands = ownMessages = 0;
        window_ = MakeWindow();
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        UnregisterAppHotKey();
        DestroyWindow(window_);
    }
    HWND window_ = nullptr;
};

TEST_F(HotKeyWin32Test, CtrlSpaceRunsTheCommandAndOtherCombinationsDoNot) {
    ASSERT_TRUE(RegisterAppHotKey(window_, MOD_CONTROL, VK_SPACE, Command));
    // A string atom read as a signed 16-bit number: negative, its upper 16 bits all ones.
    EXPECT_LT(HotKeyId(), 0);
    EXPECT_EQ(static_cast<unsigned>(HotKeyId()) >> 16, 0xFFFFu);
    EXPECT_EQ(static_cast<ATOM>(HotKeyId()), GlobalFindAtomA("LVHotKey"));

    Type({VK_CONTROL});
    Pump(3000, 1);
    EXPECT_EQ(commands, 1);

    Type({VK_CONTROL, VK_SHIFT});
    Type({VK_CONTROL, VK_MENU});
    Type({});
    Pump(500);
    EXPECT_EQ(commands, 1);

    Type({VK_CONTROL});
    Pump(3000, 2);
    EXPECT_EQ(commands, 2);
    EXPECT_EQ(ownMessages, 0);
}

TEST_F(HotKeyWin32Test, ASecondRegistrationIsRefused) {
    ASSERT_TRUE(RegisterAppHotKey(window_, MOD_CONTROL, VK_SPACE, Command));
    const LONG_PTR replaced = GetWindowLongPtrW(window_, GWLP_WNDPROC);
    HWND other = MakeWindow();
    EXPECT_FALSE(RegisterAppHotKey(other, MOD_CONTROL, VK_SPACE, Command));
    EXPECT_EQ(GetWindowLongPtrW(window_, GWLP_WNDPROC), replaced);
    // The combination is taken for every other window too.
    EXPECT_FALSE(RegisterHotKey(other, 1, MOD_CONTROL, VK_SPACE));
    EXPECT_EQ(GetLastError(), 1409u);  // ERROR_HOTKEY_ALREADY_REGISTERED
    DestroyWindow(other);
}

TEST_F(HotKeyWin32Test, OtherMessagesReachTheWindowsOwnProcedure) {
    ASSERT_TRUE(RegisterAppHotKey(window_, MOD_CONTROL, VK_SPACE, Command));
    const auto id = static_cast<WPARAM>(static_cast<INT_PTR>(HotKeyId()));
    // The identifier on another message, and another identifier on WM_HOTKEY, are passed on with
    // the procedure's answer.
    EXPECT_EQ(SendMessageW(window_, WM_APP, id, 0), 7);
    EXPECT_EQ(SendMessageW(window_, WM_HOTKEY, 5, 0), 7);
    EXPECT_EQ(ownMessages, 2);
    EXPECT_EQ(lastOwnWParam, 5u);
    EXPECT_EQ(commands, 0);
    // The identifier arrives sign-extended or not; both run the command, which answers 0.
    EXPECT_EQ(SendMessageW(window_, WM_HOTKEY, id, 0), 0);
    EXPECT_EQ(SendMessageW(window_, WM_HOTKEY, id & 0xFFFFFFFFu, 0), 0);
    EXPECT_EQ(commands, 2);
}

TEST_F(HotKeyWin32Test, UnregisteringPutsTheProcedureBack) {
    UnregisterAppHotKey();  // before registering: nothing happens
    const LONG_PTR own = GetWindowLongPtrW(window_, GWLP_WNDPROC);
    ASSERT_TRUE(RegisterAppHotKey(window_, MOD_CONTROL, VK_SPACE, Command));
    EXPECT_NE(GetWindowLongPtrW(window_, GWLP_WNDPROC), own);
    UnregisterAppHotKey();
    EXPECT_EQ(GetWindowLongPtrW(window_, GWLP_WNDPROC), own);
    Type({VK_CONTROL});
    Pump(500);
    EXPECT_EQ(commands, 0);
    EXPECT_EQ(ownMessages, 0);
}

TEST_F(HotKeyWin32Test, ACombinationHeldElsewhereStillReplacesTheProcedure) {
    HWND holder = MakeWindow();
    ASSERT_TRUE(RegisterHotKey(holder, 1, MOD_CONTROL, VK_SPACE));
    const LONG_PTR own = GetWindowLongPtrW(window_, GWLP_WNDPROC);
    EXPECT_FALSE(RegisterAppHotKey(window_, MOD_CONTROL, VK_SPACE, Command));
    EXPECT_NE(GetWindowLongPtrW(window_, GWLP_WNDPROC), own);
    UnregisterHotKey(holder, 1);
    DestroyWindow(holder);
}

}  // namespace
