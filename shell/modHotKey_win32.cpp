#include "shell/modHotKey_win32.h"

#include <utility>

namespace litvorot {

namespace {
HWND HotKeyWindow = nullptr;
std::int16_t HotKeyAtom = 0;
LONG_PTR PrevWndProc = 0;
HotKeyCommand Command = nullptr;
HotKey::Handler Win32Handler;  // the registered Win32HotKey's
void RunWin32Handler() {
    if (Win32Handler) Win32Handler();
}
}  // namespace

int HotKeyId() { return HotKeyAtom; }

bool RegisterAppHotKey(HWND window, UINT modifiers, UINT key, HotKeyCommand command) {
    if (HotKeyWindow != nullptr) return false;
    HotKeyWindow = window;
    Command = command;
    HotKeyAtom = static_cast<std::int16_t>(GlobalAddAtomA(kHotKeyAtomName));
    const BOOL ok = RegisterHotKey(window, HotKeyId(), modifiers, key);
    PrevWndProc =
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HotKeyWindowProc));
    return ok != 0;
}

void UnregisterAppHotKey() {
    if (HotKeyWindow == nullptr) return;
    UnregisterHotKey(HotKeyWindow, HotKeyId());
    SetWindowLongPtrA(HotKeyWindow, GWLP_WNDPROC, PrevWndProc);
    HotKeyWindow = nullptr;
    Command = nullptr;
}

LRESULT CALLBACK HotKeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The identifier may arrive sign-extended or not: compare its low 32 bits as a signed number.
    if (message == WM_HOTKEY &&
        static_cast<int>(static_cast<std::uint32_t>(wParam)) == HotKeyId()) {
        if (Command != nullptr) Command();
        return 0;
    }
    return CallWindowProcA(reinterpret_cast<WNDPROC>(PrevWndProc), window, message, wParam, lParam);
}

bool Win32HotKey::RegisterAppHotKey(std::uint32_t modifiers, std::uint32_t key, Handler onPress) {
    if (registered_ || window_ == nullptr || HotKeyWindow != nullptr) return false;
    registered_ = true;
    Win32Handler = std::move(onPress);
    return litvorot::RegisterAppHotKey(window_, modifiers, key, &RunWin32Handler);
}

void Win32HotKey::UnregisterAppHotKey() {
    if (!registered_) return;
    registered_ = false;
    litvorot::UnregisterAppHotKey();
    Win32Handler = nullptr;
}

}  // namespace litvorot
