#include "shell/modHotKey_win32.h"

#include <utility>

namespace litvorot {

namespace {

// A registered key: its window, its atom (the identifier), and what a press runs.
struct Slot {
    explicit Slot(const char* name) : atomName(name) {}
    const char* atomName;
    HWND window = nullptr;
    std::int16_t atom = 0;
    HotKeyCommand command = nullptr;
    HotKey::Handler handler;  // a Win32HotKey's
};
Slot Slots[] = {Slot(kHotKeyAtomName), Slot(kSelectionHotKeyAtomName)};
Slot& ConvertSlot = Slots[0];

// The one window whose procedure is replaced, and the procedure it had.
HWND SubclassedWindow = nullptr;
LONG_PTR PrevWndProc = 0;

Slot& SlotOf(Win32HotKey::Which which) {
    return which == Win32HotKey::Which::kSelection ? Slots[1] : Slots[0];
}

bool Register(Slot& slot, HWND window, UINT modifiers, UINT key, HotKeyCommand command,
              HotKey::Handler handler) {
    // Both keys belong to the main window: a second window would need a second procedure.
    if (slot.window != nullptr || (SubclassedWindow != nullptr && SubclassedWindow != window)) {
        return false;
    }
    slot.window = window;
    slot.command = command;
    slot.handler = std::move(handler);
    slot.atom = static_cast<std::int16_t>(GlobalAddAtomA(slot.atomName));
    const BOOL ok = RegisterHotKey(window, slot.atom, modifiers, key);
    if (SubclassedWindow == nullptr) {
        SubclassedWindow = window;
        PrevWndProc =
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HotKeyWindowProc));
    }
    return ok != 0;
}

void Unregister(Slot& slot) {
    if (slot.window == nullptr) return;
    UnregisterHotKey(slot.window, slot.atom);
    slot.window = nullptr;
    slot.command = nullptr;
    slot.handler = nullptr;
    for (const Slot& other : Slots) {
        if (other.window != nullptr) return;  // the procedure stays while a key is left
    }
    SetWindowLongPtrA(SubclassedWindow, GWLP_WNDPROC, PrevWndProc);
    SubclassedWindow = nullptr;
}

}  // namespace

int HotKeyId() { return ConvertSlot.atom; }

bool RegisterAppHotKey(HWND window, UINT modifiers, UINT key, HotKeyCommand command) {
    return Register(ConvertSlot, window, modifiers, key, command, nullptr);
}

void UnregisterAppHotKey() { Unregister(ConvertSlot); }

LRESULT CALLBACK HotKeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOTKEY) {
        // The identifier may arrive sign-extended or not: compare its low 32 bits as a signed
        // number.
        const int id = static_cast<int>(static_cast<std::uint32_t>(wParam));
        for (const Slot& slot : Slots) {
            if (slot.window == nullptr || id != slot.atom) continue;
            if (slot.command != nullptr) slot.command();
            // A copy: the handler may unregister its own key.
            if (HotKey::Handler handler = slot.handler) handler();
            return 0;
        }
    }
    return CallWindowProcA(reinterpret_cast<WNDPROC>(PrevWndProc), window, message, wParam, lParam);
}

bool Win32HotKey::RegisterAppHotKey(std::uint32_t modifiers, std::uint32_t key, Handler onPress) {
    if (registered_ || window_ == nullptr || SlotOf(which_).window != nullptr) return false;
    registered_ = true;
    // Held down, Shift+Pause would replace the selection again and again, each time on the text
    // the last one pasted: its repeats are not sent at all.
    if (which_ == Which::kSelection) modifiers |= MOD_NOREPEAT;
    return Register(SlotOf(which_), window_, modifiers, key, nullptr, std::move(onPress));
}

void Win32HotKey::UnregisterAppHotKey() {
    if (!registered_) return;
    registered_ = false;
    Unregister(SlotOf(which_));
}

int Win32HotKey::Id() const { return registered_ ? SlotOf(which_).atom : 0; }

}  // namespace litvorot
