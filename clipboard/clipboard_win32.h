// Clipboard text exchange through the Win32 clipboard: the whole CF_UNICODETEXT block is read,
// and a text is written as the clipboard's only contents.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "clipboard/Clipboard.h"

namespace litvorot {

inline constexpr std::string_view kLockFailedMessage = "Could not lock memory to copy string from.";

// The Win32 calls the clipboard exchange makes. Tests replace single entries to provoke failures
// that a real clipboard never shows on demand (a block that cannot be locked).
struct ClipboardApi {
    BOOL(WINAPI* openClipboard)(HWND) = ::OpenClipboard;
    HANDLE(WINAPI* getClipboardData)(UINT) = ::GetClipboardData;
    BOOL(WINAPI* isClipboardFormatAvailable)(UINT) = ::IsClipboardFormatAvailable;
    LPVOID(WINAPI* globalLock)(HGLOBAL) = ::GlobalLock;
    SIZE_T(WINAPI* globalSize)(HGLOBAL) = ::GlobalSize;
    BOOL(WINAPI* globalUnlock)(HGLOBAL) = ::GlobalUnlock;
    BOOL(WINAPI* closeClipboard)() = ::CloseClipboard;
    HGLOBAL(WINAPI* globalAlloc)(UINT, SIZE_T) = ::GlobalAlloc;
    HGLOBAL(WINAPI* globalFree)(HGLOBAL) = ::GlobalFree;
    BOOL(WINAPI* emptyClipboard)() = ::EmptyClipboard;
    HANDLE(WINAPI* setClipboardData)(UINT, HANDLE) = ::SetClipboardData;
};

class ClipboardWin32 final : public Clipboard {
  public:
    // `owner` is the window that becomes the clipboard's owner when a text is written: Windows
    // refuses SetClipboardData after EmptyClipboard on a clipboard opened without a window.
    explicit ClipboardWin32(HWND owner, ClipboardApi api = {});

    // The CF_UNICODETEXT block as it is, terminator and anything behind it included: a block of
    // n bytes gives n / 2 units. A block that cannot be locked shows kLockFailedMessage while the
    // clipboard is still open and gives the empty text. Copied files (CF_HDROP, which a file
    // manager may offer beside a text list of their paths) give the empty text as well.
    std::u16string GetClipboardText() override;

    // Writes `text` up to its first NUL in a zero-filled block of 2 bytes per unit of `text` (2
    // more when it has no NUL). The empty text is never written: false, clipboard unchanged.
    bool SetClipboardText(std::u16string_view text) override;

    void SetOwner(HWND owner) { owner_ = owner; }

  private:
    HWND owner_;
    ClipboardApi api_;
};

}  // namespace litvorot
