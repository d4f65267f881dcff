// Replacing the selection on Windows: the window in front and its rights, the keys (SendInput, or
// the edit controls' own WM_COPY and WM_PASTE), the clipboard's signals (its sequence number,
// WM_CLIPBOARDUPDATE, the delayed rendering of the pasted text) and the whole clipboard kept and
// put back. Everything answers from the message loop, through a hidden window of its own.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/modSelection.h"

namespace litvorot {

// Terminals, by their top-level window's class: the console (conhost), Windows Terminal, mintty
// (Git Bash, MSYS2, Cygwin), PuTTY and KiTTY, ConEmu, Wine's console. They copy with Ctrl+Insert
// and paste with Shift+Insert (see modSelection_win32.cpp for why not Ctrl+Shift+C).
bool IsTerminalClass(std::wstring_view windowClass);

// The integrity level of a process (the RID of its token's mandatory label:
// SECURITY_MANDATORY_MEDIUM_RID for a user's programs, _HIGH_RID for one run as administrator),
// or nothing when it cannot be read.
std::optional<DWORD> ProcessIntegrity(DWORD processId);
// Whether a window of a process at integrity `theirs` takes synthetic keys and messages from one
// at `ours`. Windows drops them silently when sent upwards (User Interface Privilege Isolation);
// a process whose level cannot even be read was opened with rights this one does not have, so it
// counts as higher.
bool TakesKeysFrom(std::optional<DWORD> theirs, DWORD ours);

// Whether a program asking for the pasted text is the window that was told to paste: the window
// holding the clipboard open (`openerRoot`, its top-level window, and its process), compared with
// the window in front. A program that opened the clipboard without a window cannot be told apart
// and counts as the target.
bool ReaderIsTarget(HWND openerRoot, DWORD openerProcess, HWND targetTop, DWORD targetProcess);

// One key pressed (or let go) through SendInput, as a program reading its scan code sees it too.
INPUT KeyStroke(WORD key, bool up);
// The modifier keys held down now, left and right apart.
std::vector<WORD> ModifiersDown();
// The inputs that press `modifiers` + `key` `times` over as if nothing else were held: the keys in
// `held` are let go first and pressed again after, so that a Shift the user still holds does not
// turn Ctrl+C into Ctrl+Shift+C, and the keyboard is left as the user holds it. A held Alt or
// Windows key is masked by a key that does nothing: let go or pressed alone, it would open the
// window's menu bar or the Start menu.
std::vector<INPUT> KeysAround(const std::vector<WORD>& held, const std::vector<WORD>& modifiers,
                              WORD key, std::size_t times = 1);

// Every format the clipboard holds, copied, to be put back as it was.
class ClipboardSnapshot {
  public:
    enum class Taken {
        kKept,
        kBusy,      // another program holds the clipboard open: try again
        kTooLarge,  // more than `maxBytes`: nothing is kept
    };
    // Copies the clipboard, opened for `window`.
    Taken Take(HWND window, std::size_t maxBytes);
    // Empties the clipboard, opened for `window`, and puts every kept format back. False when the
    // clipboard could not be opened.
    bool PutBack(HWND window) const;
    void Clear() { formats_.clear(); }
    std::size_t Formats() const { return formats_.size(); }
    std::size_t Bytes() const;

  private:
    struct Format {
        UINT id = 0;
        bool enhMetaFile = false;  // the bytes of an enhanced metafile, not of a memory block
        std::vector<unsigned char> bytes;
    };
    std::vector<Format> formats_;
};

class SelectionDesktopWin32 final : public SelectionDesktop {
  public:
    struct Limits {
        // The most kept of the user's clipboard (the tests make it small).
        std::size_t keepMaxBytes = kMaxKeptBytes;
        // How long the clipboard may stay open in another program before it is given up.
        std::chrono::milliseconds clipboardBusy{2000};
        // How long an edit control may take over WM_COPY or WM_PASTE before keys are tried.
        std::chrono::milliseconds messageLimit{500};
    };

    SelectionDesktopWin32();
    explicit SelectionDesktopWin32(Limits limits);
    ~SelectionDesktopWin32() override;
    SelectionDesktopWin32(const SelectionDesktopWin32&) = delete;
    SelectionDesktopWin32& operator=(const SelectionDesktopWin32&) = delete;

    // The hidden window that owns the clipboard while the text is pasted.
    HWND Window() const { return window_; }
    // True while the paste's answer is being given: what the controller opens then (the status
    // dialog) must not take the keyboard from the window that pasted.
    bool Finishing() const { return finishing_; }

    FrontWindow Front() override;
    // The window `top` as Front describes the window in front, and from now on the one the keys
    // and messages go to.
    FrontWindow Describe(HWND top);
    void WaitForModifiersUp(std::chrono::milliseconds limit,
                            std::function<void(bool)> done) override;
    void KeepClipboard(std::function<void(bool)> done) override;
    void Copy(const FrontWindow& window, std::chrono::milliseconds limit,
              std::function<void(bool)> done) override;
    void Paste(const FrontWindow& window, std::u16string_view text, std::chrono::milliseconds limit,
               std::function<void(PasteResult)> done) override;
    void RestoreClipboard() override;
    void DropKeptClipboard() override;
    void SelectBack(const FrontWindow& window, std::size_t characters) override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    // Asks `ready` now, on each tick of a short timer and on each clipboard change until it
    // answers true, then `finish(true)`; or `finish(false)` after `limit`. One wait at a time: a
    // new one ends the last.
    void Wait(std::chrono::milliseconds limit, std::function<bool()> ready,
              std::function<void(bool)> finish);
    void StopWaiting();
    void Check();
    // Sends `modifiers` + `key`, with the modifiers held now let go around them.
    void Press(const std::vector<WORD>& modifiers, WORD key, std::size_t times = 1);
    // Whether the clipboard is closed again (the copying or pasting program is done with it).
    bool ClipboardClosed();
    // Puts the marks and the text on the clipboard, the text rendered only when asked for.
    bool OfferText();
    void SendPaste(bool terminal);
    void RenderText(UINT format);
    bool TryRestore();

    Limits limits_;
    HWND window_ = nullptr;
    // The window in front, as Front found it.
    HWND top_ = nullptr;
    HWND focus_ = nullptr;
    DWORD process_ = 0;

    std::function<bool()> ready_;
    std::function<void(bool)> finish_;
    std::chrono::steady_clock::time_point deadline_;
    bool checking_ = false;
    unsigned waits_ = 0;  // moves on with every wait begun or ended

    ClipboardSnapshot kept_;
    // What RestoreClipboard puts back while the clipboard is still held open by another program.
    ClipboardSnapshot restoring_;
    bool restorePending_ = false;
    DWORD restoreSequence_ = 0;
    std::chrono::steady_clock::time_point restoreDeadline_;

    // Pasting: the text being offered, offered (the paste command due), asked for by the
    // command, fetched by the window; another program took the clipboard since; this program
    // empties it itself.
    enum class Pasting { kNo, kOffering, kOffered, kAsked, kFetched };
    Pasting pasting_ = Pasting::kNo;
    int pasteMessages_ = 0;
    bool otherReader_ = false;  // a program other than the window asked for the text
    std::u16string text_;
    bool pasted_ = false;  // Paste ran since KeepClipboard
    bool taken_ = false;
    bool emptying_ = false;
    bool finishing_ = false;
};

}  // namespace litvorot
