#include "shell/modHotKey_win32.h"

namespace litvorot {

namespace {
HWND HotKeyWindow = nullptr;
std::int16_t HotKeyAtom = 0;
LONG_PTR PrevWndProc = 0;
HotKeyCommand Command = nullptr;
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

}  // namespace litvorot
