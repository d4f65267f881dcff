// Clipboard text exchange through the Win32 clipboard: the whole CF_UNICODETEXT block is read,
// and a text is written as the clipboard's only contents. Windows' clipboard answers at once, so
// a read is over before ReadClipboard returns.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "clipboard/Clipboard.h"

namespace litvorot {

inline constexpr std::string_view kLockFailedMessage = "Could not lock memory to copy string from.";

// The registered formats that mark a clipboard's contents as not to be recorded (a password
// manager's): the first by being there at all, the second holding a DWORD 0, and the third, also
// a DWORD 0, keeps it off the cloud clipboard. X11 password managers' mark, which Wine passes on
// as a format of the same name, holds "secret".
inline constexpr wchar_t kExcludeFromMonitorFormat[] =
    L"ExcludeClipboardContentFromMonitorProcessing";
inline constexpr wchar_t kHistoryFormat[] = L"CanIncludeInClipboardHistory";
inline constexpr wchar_t kCloudFormat[] = L"CanUploadToCloudClipboard";
inline constexpr wchar_t kPasswordHintFormat[] = L"x-kde-passwordManagerHint";

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

// Puts the three marks above on the clipboard, opened and emptied by the caller: the text that
// follows is left out of clipboard histories, clipboard managers and the cloud clipboard. False
// when one could not be put.
bool PutSecretMarks(const ClipboardApi& api = {});

class ClipboardWin32 final : public Clipboard {
  public:
    // `owner` is the window that becomes the clipboard's owner when a text is written: Windows
    // refuses SetClipboardData after EmptyClipboard on a clipboard opened without a window.
    explicit ClipboardWin32(HWND owner, ClipboardApi api = {});
    ~ClipboardWin32() override;
    ClipboardWin32(const ClipboardWin32&) = delete;
    ClipboardWin32& operator=(const ClipboardWin32&) = delete;

    // The CF_UNICODETEXT block as it is, terminator and anything behind it included: a block of
    // n bytes gives n / 2 units. A block that cannot be locked shows kLockFailedMessage while the
    // clipboard is still open and gives the empty text. Copied files (CF_HDROP, which a file
    // manager may offer beside a text list of their paths) give the empty text as well.
    std::u16string GetClipboardText() override;

    // Writes `text` up to its first NUL in a zero-filled block of 2 bytes per unit of `text` (2
    // more when it has no NUL). The empty text is never written: false, clipboard unchanged.
    bool SetClipboardText(std::u16string_view text) override;

    // Answers before it returns. Copied files give kFiles; a text over `limits.maxUnits` gives
    // kTooLarge and is not copied; a block that cannot be locked gives kFailed with
    // kLockFailedMessage in `message`, shown by the caller later. A clipboard another program
    // holds open for longer than a quarter of a second gives kNoAnswer.
    void ReadClipboard(const ReadLimits& limits, std::function<void(ClipboardRead)> done) override;

    // SetClipboardText's write; with `secret` the three marks above go with the text.
    bool WriteClipboardText(std::u16string_view text, bool secret) override;

    // Listens to the clipboard's changes on the owner window, which passes WM_CLIPBOARDUPDATE on
    // to ClipboardUpdated. Ends with the window, StopWatching or this object.
    void WatchOwnership(std::function<void()> lost) override;
    void ClipboardUpdated();
    void StopWatching();

    void SetOwner(HWND owner);

  private:
    // Reads with the clipboard open: the block as GetClipboardText gives it when `limits` is
    // null; otherwise bounded, with the secret marks looked at and a lock failure kept in the
    // answer rather than shown.
    ClipboardRead Read(const ReadLimits* limits);
    bool SecretMarked();
    bool Write(std::u16string_view text, bool secret);

    HWND owner_;
    ClipboardApi api_;
    std::function<void()> lost_;
    bool listening_ = false;
};

}  // namespace litvorot
