#include "clipboard/clipboard_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "tables/modMessages.h"

namespace litvorot {

namespace {

UINT Format(const wchar_t* name) { return RegisterClipboardFormatW(name); }

// A read waits at most 50 x 5 ms for a clipboard another program holds open.
constexpr int kOpenTries = 50;
constexpr DWORD kOpenPauseMs = 5;

bool SetMark(const ClipboardApi& api, const wchar_t* format, DWORD value) {
    const UINT id = Format(format);
    if (id == 0) return false;
    HGLOBAL block = api.globalAlloc(GMEM_MOVEABLE, sizeof(value));
    if (block == nullptr) return false;
    void* bytes = api.globalLock(block);
    if (bytes != nullptr) {
        std::memcpy(bytes, &value, sizeof(value));
        api.globalUnlock(block);
        if (api.setClipboardData(id, block) != nullptr) return true;
    }
    api.globalFree(block);
    return false;
}

}  // namespace

bool PutSecretMarks(const ClipboardApi& api) {
    return SetMark(api, kExcludeFromMonitorFormat, 0) && SetMark(api, kHistoryFormat, 0) &&
           SetMark(api, kCloudFormat, 0);
}

ClipboardWin32::ClipboardWin32(HWND owner, ClipboardApi api) : owner_(owner), api_(api) {}

ClipboardWin32::~ClipboardWin32() { StopWatching(); }

std::u16string ClipboardWin32::GetClipboardText() { return Read(nullptr).text; }

void ClipboardWin32::ReadClipboard(const ReadLimits& limits,
                                   std::function<void(ClipboardRead)> done) {
    ClipboardRead read = Read(&limits);
    if (read.HasText() && TextBeforeNul(read.text).empty()) {
        read.result = ClipboardRead::Result::kNoText;
        read.text.clear();
    }
    done(std::move(read));
}

ClipboardRead ClipboardWin32::Read(const ReadLimits* limits) {
    using Result = ClipboardRead::Result;
    ClipboardRead read;
    // Another program may hold the clipboard open for the moment it takes to read it: right after
    // a copy every clipboard history and manager reads it. The clipboard has no lock to wait on,
    // so it is tried again for a short while before it counts as not answering.
    bool opened = api_.openClipboard(nullptr) != FALSE;
    for (int i = 0; !opened && i < kOpenTries; ++i) {
        Sleep(kOpenPauseMs);
        opened = api_.openClipboard(nullptr) != FALSE;
    }
    if (!opened) {
        read.result = Result::kNoAnswer;  // another program has it open
        return read;
    }
    // Files are not text: writing their converted paths back would take the files away.
    if (api_.isClipboardFormatAvailable(CF_HDROP)) {
        read.result = Result::kFiles;
    } else if (HANDLE block = api_.getClipboardData(CF_UNICODETEXT)) {
        if (limits != nullptr) read.secret = SecretMarked();
        if (const auto* units = static_cast<const char16_t*>(api_.globalLock(block))) {
            const std::size_t count = api_.globalSize(block) / sizeof(char16_t);
            const std::size_t maxUnits = limits != nullptr ? limits->maxUnits : SIZE_MAX;
            // The text's end is looked for no further than the limit, and a text over it is
            // never copied.
            const std::size_t scan = count > maxUnits ? maxUnits + 1 : count;
            const std::size_t body = std::find(units, units + scan, u'\0') - units;
            if (body > maxUnits) {
                read.result = Result::kTooLarge;
            } else {
                // The whole block, as it is; but of a block far larger than the limit (its text
                // within it) only the text and its NUL.
                const std::size_t copied = count > maxUnits ? body + 1 : count;
                try {
                    read.text.assign(units, copied);
                    read.result = Result::kText;
                } catch (const std::bad_alloc&) {
                    read.result = Result::kFailed;  // too large to copy: nothing could be read
                }
            }
            api_.globalUnlock(block);
        } else if (limits == nullptr) {
            ShowMessage(kLockFailedMessage);
        } else {
            read.result = Result::kFailed;
            read.message = kLockFailedMessage;
        }
    }
    api_.closeClipboard();
    if (!read.HasText()) read.secret = false;
    return read;
}

bool ClipboardWin32::SecretMarked() {
    // Up to the first bytes of the clipboard's block in `format`; nothing when it is not there
    // or cannot be read.
    auto value = [this](UINT format) -> std::optional<std::string> {
        HANDLE block = api_.getClipboardData(format);
        if (block == nullptr) return std::nullopt;
        const void* bytes = api_.globalLock(block);
        if (bytes == nullptr) return std::nullopt;
        const std::size_t size = std::min<std::size_t>(api_.globalSize(block), 16);
        std::string copy(static_cast<const char*>(bytes), size);
        api_.globalUnlock(block);
        return copy;
    };
    // A mark that is there but cannot be read counts: taking a text for a secret only costs what
    // Undo keeps of it.
    static const UINT exclude = Format(kExcludeFromMonitorFormat);
    static const UINT history = Format(kHistoryFormat);
    static const UINT hint = Format(kPasswordHintFormat);
    if (exclude != 0 && api_.isClipboardFormatAvailable(exclude)) return true;
    if (history != 0 && api_.isClipboardFormatAvailable(history)) {
        const std::optional<std::string> dword = value(history);
        if (!dword || dword->size() < sizeof(DWORD)) return true;
        DWORD allowed = 0;
        std::memcpy(&allowed, dword->data(), sizeof(allowed));
        if (allowed == 0) return true;
    }
    if (hint != 0 && api_.isClipboardFormatAvailable(hint)) {
        const std::optional<std::string> text = value(hint);
        if (!text || text->rfind("secret", 0) == 0) return true;
    }
    return false;
}

bool ClipboardWin32::SetClipboardText(std::u16string_view text) { return Write(text, false); }

bool ClipboardWin32::WriteClipboardText(std::u16string_view text, bool secret) {
    return Write(text, secret);
}

bool ClipboardWin32::Write(std::u16string_view text, bool secret) {
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
    // The marks go first: a secret is never left on the clipboard without them.
    const bool marked = !secret || PutSecretMarks(api_);
    const bool handedOver = marked && api_.setClipboardData(CF_UNICODETEXT, block) != nullptr;
    if (!handedOver) api_.globalFree(block);  // still ours when the system did not take it
    const bool closed = api_.closeClipboard() != 0;
    return handedOver && closed;
}

void ClipboardWin32::WatchOwnership(std::function<void()> lost) {
    lost_ = std::move(lost);
    if (!listening_ && owner_ != nullptr && lost_) {
        listening_ = AddClipboardFormatListener(owner_) != FALSE;
    }
}

void ClipboardWin32::ClipboardUpdated() {
    // This program's own writes change the clipboard too: only another owner means that what it
    // wrote is gone.
    if (listening_ && lost_ && GetClipboardOwner() != owner_) lost_();
}

void ClipboardWin32::StopWatching() {
    if (listening_ && IsWindow(owner_)) RemoveClipboardFormatListener(owner_);
    listening_ = false;
    lost_ = nullptr;
}

void ClipboardWin32::SetOwner(HWND owner) {
    std::function<void()> lost = std::move(lost_);
    StopWatching();
    owner_ = owner;
    if (lost) WatchOwnership(std::move(lost));
}

}  // namespace litvorot
