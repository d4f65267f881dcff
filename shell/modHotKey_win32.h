// The global hot keys on Windows: RegisterHotKey for the main window, with the window's procedure
// replaced by one that turns each key's hot-key message into its command and passes every other
// message on unchanged. Two keys at most, each under an atom of its own: Ctrl+Space converts the
// clipboard, Shift+Pause replaces the selection.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/modHotKey.h"

namespace litvorot {

inline constexpr char kHotKeyAtomName[] = "LVHotKey";
inline constexpr char kSelectionHotKeyAtomName[] = "LVSelectionHotKey";

using HotKeyCommand = void (*)();

// Registers `modifiers` + `key` for `window` under the global atom "LVHotKey" and replaces the
// window's procedure (also when the system refuses the combination, for instance because another
// program holds it). Each press then calls `command` inside the window's message dispatch. True
// when the system accepted the combination; false, changing nothing, while a window is already
// registered.
bool RegisterAppHotKey(HWND window, UINT modifiers, UINT key, HotKeyCommand command);

// Removes the hot key and puts the previous window procedure back (once no key of the window is
// left). Does nothing when no window is registered; afterwards RegisterAppHotKey may be called
// again.
void UnregisterAppHotKey();

// The hot key's identifier: the atom read as a signed 16-bit number and widened with its sign
// (string atoms lie in 0xC000..0xFFFF, so it is negative). 0 before RegisterAppHotKey.
int HotKeyId();

// The replacement window procedure.
LRESULT CALLBACK HotKeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One of the two keys as the program's HotKey, for the window set with SetWindow before it is
// registered; both keys go to the same window.
class Win32HotKey : public HotKey {
  public:
    enum class Which {
        kConvert,    // "LVHotKey", the free functions' key above
        kSelection,  // "LVSelectionHotKey", pressed without repeats
    };
    explicit Win32HotKey(Which which = Which::kConvert) : which_(which) {}
    ~Win32HotKey() override { UnregisterAppHotKey(); }
    void SetWindow(HWND window) { window_ = window; }
    bool RegisterAppHotKey(std::uint32_t modifiers, std::uint32_t key, Handler onPress) override;
    void UnregisterAppHotKey() override;
    // The key's identifier, as HotKeyId() is the first one's. 0 while it is not registered.
    int Id() const;

  private:
    Which which_;
    HWND window_ = nullptr;
    bool registered_ = false;
};

}  // namespace litvorot
