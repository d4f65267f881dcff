#include "clipboard/clipboard_win32.h"

#include <cstring>
#include <new>

#include "tables/modMessages.h"

namespace litvorot {

ClipboardWin32::ClipboardWin32(HWND owner, ClipboardApi api) : owner_(owner), api_(api) {}

std::u16string ClipboardWin32::GetClipboardText() {
    if (!api_.openClipboard(nullptr)) return {};
    std::u16string text;
    // Files are not text: writing their converted paths back would take the files away.
    if (api_.isClipboardFormatAvailable(CF_HDROP)) {
        api_.closeClipboard();
        return text;
    }
    if (HANDLE block = api_.getClipboardData(CF_UNICODETEXT)) {
        if (const void* bytes = api_.globalLock(block)) {
            const SIZE_T size = api_.globalSize(block);
            try {
                text.resize(size / sizeof(char16_t));
                std::memcpy(text.data(), bytes, text.size() * sizeof(char16_t));
            } catch (const std::bad_alloc&) {
                text.clear();  // too large to copy: nothing could be read
            }
            api_.globalUnlock(block);
        } else {
            ShowMessage(kLockFailedMessage);
        }
    }
    api_.closeClipboard();
    return text;
}

bool ClipboardWin32::SetClipboardText(std::u16string_view text) {
    const std::u16string_view body = TextBeforeNul(text);
    if (body.empty()) return false;

    const bool hasNul = body.size() < text.size();
    const SIZE_T size = (text.size() + (hasNul ? 0 : 1)) * sizeof(char16_t);
    HGLOBAL block = api_.globalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (block == nullptr) return false;
    void* bytes = api_.globalLock(block);
    if (bytes == nullptr) {
        api_.globalFree(block);
        return false;
    }
    // The block is zero-filled, so the terminator and everything after it are already in place.
    std::memcpy(bytes, body.data(), body.size() * sizeof(char16_t));
    if (api_.globalUnlock(block) || !api_.openClipboard(owner_)) {
        api_.globalFree(block);
        return false;
    }
    api_.emptyClipboard();
    const bool handedOver = api_.setClipboardData(CF_UNICODETEXT, block) != nullptr;
    if (!handedOver) api_.globalFree(block);  // still ours when the system did not take it
    const bool closed = api_.closeClipboard() != 0;
    return handedOver && closed;
}

}  // namespace litvorot
