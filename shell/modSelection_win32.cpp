#include "shell/modSelection_win32.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "clipboard/clipboard_win32.h"
#include "windows/modWindows_win32.h"

namespace litvorot {

namespace {

constexpr wchar_t kClassName[] = L"LitvorotSelection";
constexpr UINT_PTR kWaitTimer = 1;
constexpr UINT_PTR kRestoreTimer = 2;
// How often a wait looks again: the clipboard's and the keyboard's state have no signal for
// everything a wait needs (a clipboard closed again, a key let go in another program).
constexpr UINT kTickMs = 10;
// Posted to look again at once, from the message loop, after the window fetched the text.
constexpr UINT kCheckMessage = WM_APP + 1;
// How often WM_PASTE is sent while other programs keep the window from reading the clipboard.
constexpr int kPasteMessages = 5;
// A virtual key that no layout gives a meaning: pressed between a held Alt or Windows key and its
// release, it keeps that release from opening the menu bar or the Start menu.
constexpr WORD kMaskKey = 0xE8;

// The classes of terminals' main windows.
//
// Terminals are told to copy with Ctrl+Insert and to paste with Shift+Insert, never Ctrl+C:
// in a console Ctrl+C with nothing selected interrupts the program that runs there, and Windows
// Terminal passes its copy key (Ctrl+C, and Ctrl+Shift+C too) on to the program as Ctrl+C when
// nothing is selected. Ctrl+Insert and Shift+Insert are the copy and paste keys of the console
// (with its Ctrl key shortcuts, on by default since Windows 10), of Windows Terminal, mintty and
// ConEmu by default, and Shift+Insert pastes in PuTTY; unselected, Ctrl+Insert interrupts nothing.
// WM_COPY and WM_PASTE are not tried: no terminal answers them.
constexpr std::wstring_view kTerminalClasses[] = {
    L"ConsoleWindowClass",             // the console (conhost)
    L"CASCADIA_HOSTING_WINDOW_CLASS",  // Windows Terminal
    L"mintty",                         // Git Bash, MSYS2, Cygwin
    L"PuTTY",
    L"KiTTY",
    L"VirtualConsoleClass",  // ConEmu's console pane
    L"ConEmuMainClass",      // ConEmu
    // Wine's console copies and pastes from its menu only: as a terminal it is never sent Ctrl+C.
    L"WineConsoleClass",
};

bool Extended(WORD key) {
    switch (key) {
        case VK_INSERT:
        case VK_DELETE:
        case VK_HOME:
        case VK_END:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_RCONTROL:
        case VK_RMENU:
        case VK_LWIN:
        case VK_RWIN:
        case VK_APPS:
            return true;
        default:
            return false;
    }
}

DWORD OwnIntegrity() {
    static const DWORD own =
        ProcessIntegrity(GetCurrentProcessId()).value_or(SECURITY_MANDATORY_MEDIUM_RID);
    return own;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<std::size_t>(std::max(length, 0)));
}

// How a format is kept.
enum class Keeping {
    kBytes,        // a memory block (HGLOBAL), copied
    kEnhMetaFile,  // an enhanced metafile, kept as its bytes
    kLeft,         // not kept, see below
};

// CF_BITMAP, CF_PALETTE and CF_METAFILEPICT are handles to objects, not memory blocks. They are
// not copied: the system makes each of them from a form that is a plain block and is kept (a
// bitmap and its palette from CF_DIB or CF_DIBV5, a Windows metafile from CF_ENHMETAFILE), and
// lists that form among the clipboard's formats whichever of the two the program put there, so
// it is kept either way and the other comes back from it. The enhanced metafile, which nothing
// else can stand for, is kept as its bytes. Private formats and GDI objects are handles whose
// meaning only their owner knows, and CF_OWNERDISPLAY is drawn by its owner: none can be put
// back. OLE's own formats describe the copying program's live data object; put back, they would
// point readers at an object that is gone, so they are left too and readers take the plain
// formats kept beside them.
Keeping KeepingOf(UINT format) {
    static const UINT oleObject = RegisterClipboardFormatW(L"DataObject");
    static const UINT olePrivate = RegisterClipboardFormatW(L"Ole Private Data");
    switch (format) {
        case CF_BITMAP:
        case CF_DSPBITMAP:
        case CF_PALETTE:
        case CF_METAFILEPICT:
        case CF_DSPMETAFILEPICT:
        case CF_OWNERDISPLAY:
            return Keeping::kLeft;
        case CF_ENHMETAFILE:
        case CF_DSPENHMETAFILE:
            return Keeping::kEnhMetaFile;
        default:
            break;
    }
    if (format >= CF_PRIVATEFIRST && format <= CF_GDIOBJLAST) return Keeping::kLeft;
    if (format == oleObject || format == olePrivate) return Keeping::kLeft;
    return Keeping::kBytes;
}

// The forms of one thing that the system makes from each other: of each group only the first
// listed is kept. The clipboard lists what its owner put before what the system can make, so the
// owner's own form is the one kept, and the others are made from it again as they were the first
// time. Keeping all three forms of a long text would triple what is held.
int SynthesisGroup(UINT format) {
    switch (format) {
        case CF_UNICODETEXT:
        case CF_TEXT:
        case CF_OEMTEXT:
            return 1;
        case CF_DIB:
        case CF_DIBV5:
            return 2;
        default:
            return 0;
    }
}

}  // namespace

INPUT KeyStroke(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    // Programs that read the scan code (terminals) see the key the virtual key stands for; an
    // arrow or Insert without the extended flag is the numeric keypad's key, a digit with Num Lock.
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0u) | (Extended(key) ? KEYEVENTF_EXTENDEDKEY : 0u);
    return input;
}

bool IsTerminalClass(std::wstring_view windowClass) {
    return std::find(std::begin(kTerminalClasses), std::end(kTerminalClasses), windowClass) !=
           std::end(kTerminalClasses);
}

std::optional<DWORD> ProcessIntegrity(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return std::nullopt;
    std::optional<DWORD> level;
    HANDLE token = nullptr;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        DWORD size = 0;
        GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
        std::vector<unsigned char> buffer(size);
        if (size >= sizeof(TOKEN_MANDATORY_LABEL) &&
            GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
            const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
            const UCHAR count = *GetSidSubAuthorityCount(sid);
            if (count > 0) level = *GetSidSubAuthority(sid, count - 1u);
        }
        CloseHandle(token);
    }
    CloseHandle(process);
    return level;
}

bool TakesKeysFrom(std::optional<DWORD> theirs, DWORD ours) {
    return theirs.has_value() && *theirs <= ours;
}

bool ReaderIsTarget(HWND openerRoot, DWORD openerProcess, HWND targetTop, DWORD targetProcess) {
    if (openerRoot == nullptr) return true;
    // The console's window answers for the console's program, whose process it is not.
    return openerRoot == targetTop || openerProcess == targetProcess;
}

std::vector<WORD> ModifiersDown() {
    static constexpr WORD kModifiers[] = {VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL,
                                          VK_LMENU,  VK_RMENU,  VK_LWIN,     VK_RWIN};
    std::vector<WORD> down;
    for (WORD key : kModifiers) {
        if (GetAsyncKeyState(key) < 0) down.push_back(key);
    }
    return down;
}

std::vector<INPUT> KeysAround(const std::vector<WORD>& held, const std::vector<WORD>& modifiers,
                              WORD key, std::size_t times) {
    const bool masked = std::any_of(held.begin(), held.end(), [](WORD k) {
        return k == VK_LMENU || k == VK_RMENU || k == VK_LWIN || k == VK_RWIN;
    });
    std::vector<INPUT> inputs;
    inputs.reserve(2 * (held.size() + modifiers.size() + times) + 4);
    auto mask = [&inputs] {
        inputs.push_back(KeyStroke(kMaskKey, false));
        inputs.push_back(KeyStroke(kMaskKey, true));
    };
    if (masked) mask();
    for (WORD k : held) inputs.push_back(KeyStroke(k, true));
    for (WORD k : modifiers) inputs.push_back(KeyStroke(k, false));
    for (std::size_t i = 0; i < times; ++i) {
        inputs.push_back(KeyStroke(key, false));
        inputs.push_back(KeyStroke(key, true));
    }
    for (auto k = modifiers.rbegin(); k != modifiers.rend(); ++k)
        inputs.push_back(KeyStroke(*k, true));
    for (WORD k : held) inputs.push_back(KeyStroke(k, false));
    if (masked) mask();
    return inputs;
}

ClipboardSnapshot::Taken ClipboardSnapshot::Take(HWND window, std::size_t maxBytes) {
    formats_.clear();
    if (!OpenClipboard(window)) return Taken::kBusy;
    Taken taken = Taken::kKept;
    std::size_t total = 0;
    bool groupKept[3] = {};
    for (UINT format = EnumClipboardFormats(0); format != 0;
         format = EnumClipboardFormats(format)) {
        const Keeping keeping = KeepingOf(format);
        const int group = SynthesisGroup(format);
        if (keeping == Keeping::kLeft || groupKept[group]) continue;
        // A format its owner renders only when asked is rendered now; one the owner cannot give
        // (it went away) has nothing to put back.
        HANDLE data = GetClipboardData(format);
        if (data == nullptr) continue;
        Format kept;
        kept.id = format;
        if (keeping == Keeping::kEnhMetaFile) {
            const auto metafile = static_cast<HENHMETAFILE>(data);
            const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
            if (size == 0) continue;
            if (total + size > maxBytes) {
                taken = Taken::kTooLarge;
                break;
            }
            kept.enhMetaFile = true;
            kept.bytes.resize(size);
            GetEnhMetaFileBits(metafile, size, kept.bytes.data());
        } else {
            const SIZE_T size = GlobalSize(data);
            if (total + size > maxBytes) {
                taken = Taken::kTooLarge;
                break;
            }
            const void* bytes = GlobalLock(data);
            if (bytes == nullptr) continue;
            kept.bytes.assign(static_cast<const unsigned char*>(bytes),
                              static_cast<const unsigned char*>(bytes) + size);
            GlobalUnlock(data);
        }
        total += kept.bytes.size();
        if (group != 0) groupKept[group] = true;
        formats_.push_back(std::move(kept));
    }
    CloseClipboard();
    if (taken != Taken::kKept) formats_.clear();
    return taken;
}

bool ClipboardSnapshot::PutBack(HWND window) const {
    if (!OpenClipboard(window)) return false;
    EmptyClipboard();
    for (const Format& format : formats_) {
        if (format.enhMetaFile) {
            HENHMETAFILE metafile =
                SetEnhMetaFileBits(static_cast<UINT>(format.bytes.size()), format.bytes.data());
            if (metafile != nullptr && SetClipboardData(format.id, metafile) == nullptr) {
                DeleteEnhMetaFile(metafile);
            }
            continue;
        }
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, std::max<std::size_t>(format.bytes.size(), 1));
        if (block == nullptr) continue;
        if (void* bytes = GlobalLock(block)) {
            std::memcpy(bytes, format.bytes.data(), format.bytes.size());
            GlobalUnlock(block);
            if (SetClipboardData(format.id, block) != nullptr) continue;
        }
        GlobalFree(block);
    }
    CloseClipboard();
    return true;
}

std::size_t ClipboardSnapshot::Bytes() const {
    std::size_t total = 0;
    for (const Format& format : formats_) total += format.bytes.size();
    return total;
}

SelectionDesktopWin32::SelectionDesktopWin32() : SelectionDesktopWin32(Limits{}) {}

SelectionDesktopWin32::SelectionDesktopWin32(Limits limits) : limits_(limits) {
    // A message-only window: it owns the clipboard while the text is pasted, and hears of the
    // clipboard's changes.
    window_ = CreateMessageWindow(kClassName, &WindowProc, this);
    if (window_ != nullptr) AddClipboardFormatListener(window_);
}

SelectionDesktopWin32::~SelectionDesktopWin32() {
    StopWaiting();
    if (restorePending_) TryRestore();
    if (window_ != nullptr) {
        RemoveClipboardFormatListener(window_);
        ForgetWindowObject(window_);
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK SelectionDesktopWin32::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    auto* self = WindowObject<SelectionDesktopWin32>(window, message, lParam);
    // Until CreateWindowEx has returned, window_ is not set yet: creation goes its own way.
    if (self == nullptr || self->window_ != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT SelectionDesktopWin32::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kRestoreTimer) {
                // Given up when the time is over, or when another program wrote meanwhile: its
                // contents stay.
                if (!restorePending_ || GetClipboardSequenceNumber() != restoreSequence_ ||
                    TryRestore() || std::chrono::steady_clock::now() >= restoreDeadline_) {
                    KillTimer(window_, kRestoreTimer);
                    restorePending_ = false;
                    restoring_.Clear();
                }
            } else {
                Check();
            }
            return 0;
        case kCheckMessage:
        case WM_CLIPBOARDUPDATE:
            Check();
            return 0;
        case WM_RENDERFORMAT:
            RenderText(static_cast<UINT>(wParam));
            return 0;
        case WM_DESTROYCLIPBOARD:
            // Another program emptied the clipboard while it held the text to paste.
            if (!emptying_ && pasting_ != Pasting::kNo) taken_ = true;
            return 0;
        case WM_RENDERALLFORMATS:
            // The window goes while it still offers the text: it was only ever for the paste.
            return 0;
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void SelectionDesktopWin32::Wait(std::chrono::milliseconds limit, std::function<bool()> ready,
                                 std::function<void(bool)> finish) {
    StopWaiting();
    ready_ = std::move(ready);
    finish_ = std::move(finish);
    deadline_ = std::chrono::steady_clock::now() + limit;
    SetTimer(window_, kWaitTimer, kTickMs, nullptr);
    Check();
}

void SelectionDesktopWin32::StopWaiting() {
    if (window_ != nullptr) KillTimer(window_, kWaitTimer);
    finish_ = nullptr;
    ready_ = nullptr;
    ++waits_;
}

void SelectionDesktopWin32::Check() {
    // A message the wait's own step lets through (a clipboard change during WM_PASTE) does not
    // start it again from inside itself.
    if (!ready_ || checking_) return;
    // A copy runs: the wait may be ended from inside its own step (Exit, sent by the command line
    // while WM_PASTE waits), and then nothing more of it is done.
    const std::function<bool()> step = ready_;
    const unsigned wait = waits_;
    checking_ = true;
    const bool ready = step();
    checking_ = false;
    if (wait != waits_) return;
    if (!ready && std::chrono::steady_clock::now() < deadline_) return;
    std::function<void(bool)> finish = std::move(finish_);
    StopWaiting();
    if (finish) finish(ready);
}

void SelectionDesktopWin32::Press(const std::vector<WORD>& modifiers, WORD key, std::size_t times) {
    std::vector<INPUT> inputs = KeysAround(ModifiersDown(), modifiers, key, times);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool SelectionDesktopWin32::ClipboardClosed() {
    if (!OpenClipboard(window_)) return false;
    CloseClipboard();
    return true;
}

FrontWindow SelectionDesktopWin32::Front() {
    HWND top = GetForegroundWindow();
    DWORD process = 0;
    if (top != nullptr) GetWindowThreadProcessId(top, &process);
    // This program's own windows (the status dialog, the table) hold nothing to replace, and keys
    // sent to them would be read only after this step is over.
    if (top == nullptr || process == GetCurrentProcessId()) {
        top_ = focus_ = nullptr;
        process_ = 0;
        return FrontWindow{};
    }
    return Describe(top);
}

FrontWindow SelectionDesktopWin32::Describe(HWND top) {
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(top, &process);
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    // The control that has the keyboard focus takes WM_COPY and WM_PASTE: notepad's edit control,
    // not its main window.
    HWND focus =
        GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr ? info.hwndFocus : top;
    top_ = top;
    focus_ = focus;
    process_ = process;
    const std::wstring topClass = ClassOf(top);
    FrontWindow front;
    front.exists = true;
    front.terminal = IsTerminalClass(topClass);
    front.acceptsKeys = TakesKeysFrom(ProcessIntegrity(process), OwnIntegrity());
    front.name = Narrow(topClass);
    if (focus != top) front.name += "/" + Narrow(ClassOf(focus));
    return front;
}

void SelectionDesktopWin32::WaitForModifiersUp(std::chrono::milliseconds limit,
                                               std::function<void(bool)> done) {
    Wait(
        limit, [] { return ModifiersDown().empty(); }, std::move(done));
}

void SelectionDesktopWin32::KeepClipboard(std::function<void(bool)> done) {
    kept_.Clear();
    pasted_ = false;
    taken_ = false;
    auto taken = std::make_shared<ClipboardSnapshot::Taken>(ClipboardSnapshot::Taken::kBusy);
    Wait(
        limits_.clipboardBusy,
        [this, taken] {
            // The last replacement's clipboard goes back first.
            if (restorePending_) return false;
            *taken = kept_.Take(window_, limits_.keepMaxBytes);
            return *taken != ClipboardSnapshot::Taken::kBusy;
        },
        [this, taken, done = std::move(done)](bool) {
            const bool kept = *taken == ClipboardSnapshot::Taken::kKept;
            if (!kept) kept_.Clear();
            done(kept);
        });
}

void SelectionDesktopWin32::Copy(const FrontWindow& window, std::chrono::milliseconds limit,
                                 std::function<void(bool)> done) {
    // The clipboard's sequence number moves with every change of its contents: the copy happened
    // when it has moved and the copying program has closed the clipboard again.
    const DWORD before = GetClipboardSequenceNumber();
    if (!window.terminal && focus_ != nullptr) {
        // Edit and rich edit controls copy their selection on WM_COPY, without keys, whatever
        // modifier the user still holds; others ignore it. Messages the copying program sends
        // back meanwhile (WM_DESTROYCLIPBOARD, when this program owns the clipboard) are answered.
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(focus_, WM_COPY, 0, 0, SMTO_ABORTIFHUNG,
                            static_cast<UINT>(limits_.messageLimit.count()), &answer);
    }
    if (GetClipboardSequenceNumber() == before) {
        if (window.terminal) {
            Press({VK_CONTROL}, VK_INSERT);
        } else {
            Press({VK_CONTROL}, 'C');
        }
    }
    Wait(
        limit,
        [this, before] { return GetClipboardSequenceNumber() != before && ClipboardClosed(); },
        std::move(done));
}

bool SelectionDesktopWin32::OfferText() {
    if (!OpenClipboard(window_)) return false;
    emptying_ = true;
    EmptyClipboard();
    emptying_ = false;
    // The marks first, so that no clipboard history or manager that honours them records the
    // text; the text itself only when asked for (delayed rendering), which tells when the window
    // fetched it and lets no other reader have it.
    const bool marked = PutSecretMarks();
    SetClipboardData(CF_UNICODETEXT, nullptr);
    const bool offered = marked && IsClipboardFormatAvailable(CF_UNICODETEXT);
    if (!offered) {
        emptying_ = true;
        EmptyClipboard();
        emptying_ = false;
    }
    CloseClipboard();
    return offered;
}

void SelectionDesktopWin32::RenderText(UINT format) {
    if (format != CF_UNICODETEXT ||
        (pasting_ != Pasting::kOffered && pasting_ != Pasting::kAsked)) {
        return;
    }
    // Only the window told to paste gets the text. Another reader (a clipboard monitor that does
    // not honour the marks) gets nothing, the text stays offered, and its request is not taken
    // for the paste: the clipboard would go back before the window fetched the text, and the
    // window would paste the user's old text.
    HWND opener = GetOpenClipboardWindow();
    DWORD openerProcess = 0;
    if (opener != nullptr) GetWindowThreadProcessId(opener, &openerProcess);
    if (!ReaderIsTarget(opener != nullptr ? GetAncestor(opener, GA_ROOT) : nullptr, openerProcess,
                        top_, process_)) {
        otherReader_ = true;
        return;
    }
    HGLOBAL block =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text_.size() + 1) * sizeof(char16_t));
    if (block == nullptr) return;
    if (void* bytes = GlobalLock(block)) {
        std::memcpy(bytes, text_.data(), text_.size() * sizeof(char16_t));
        GlobalUnlock(block);
        if (SetClipboardData(CF_UNICODETEXT, block) != nullptr) {
            pasting_ = Pasting::kFetched;
            // Answered from the message loop: the window is still inside its read.
            PostMessageW(window_, kCheckMessage, 0, 0);
            return;
        }
    }
    GlobalFree(block);
}

void SelectionDesktopWin32::Paste(const FrontWindow& window, std::u16string_view text,
                                  std::chrono::milliseconds limit,
                                  std::function<void(PasteResult)> done) {
    text_ = std::u16string(TextBeforeNul(text));
    pasted_ = true;
    taken_ = false;
    pasting_ = Pasting::kOffering;
    pasteMessages_ = 0;
    const bool terminal = window.terminal;
    Wait(
        limit,
        [this, terminal] {
            if (pasting_ == Pasting::kOffering && OfferText()) pasting_ = Pasting::kOffered;
            // The paste command goes while no other program holds the clipboard open: clipboard
            // managers open it to look at every new contents, and a window that finds it held
            // open pastes nothing.
            if (pasting_ == Pasting::kOffered && ClipboardClosed()) SendPaste(terminal);
            // Fetched: once the window has closed the clipboard again, it has the text, and the
            // clipboard can go back.
            return taken_ || (pasting_ == Pasting::kFetched && ClipboardClosed());
        },
        [this, done = std::move(done)](bool) {
            const PasteResult result = pasting_ == Pasting::kFetched ? PasteResult::kFetched
                                       : taken_                      ? PasteResult::kTaken
                                                                     : PasteResult::kTimedOut;
            // A request after this gets nothing: the clipboard is about to go back.
            pasting_ = Pasting::kNo;
            finishing_ = true;
            done(result);
            finishing_ = false;
        });
}

void SelectionDesktopWin32::SendPaste(bool terminal) {
    if (terminal) {
        Press({VK_SHIFT}, VK_INSERT);
        pasting_ = Pasting::kAsked;
        return;
    }
    // Edit and rich edit controls paste on WM_PASTE, without keys, whatever modifier the user
    // still holds, and have done with it when it returns.
    otherReader_ = false;
    ++pasteMessages_;
    SetLastError(ERROR_SUCCESS);
    DWORD_PTR answer = 0;
    const LRESULT sent =
        SendMessageTimeoutW(focus_, WM_PASTE, 0, 0, SMTO_ABORTIFHUNG,
                            static_cast<UINT>(limits_.messageLimit.count()), &answer);
    if (pasting_ != Pasting::kOffered) return;  // fetched (or taken) during WM_PASTE
    // A window still busy with WM_PASTE pastes once it gets to it: Ctrl+V now would paste twice.
    if (sent == 0 && GetLastError() == ERROR_TIMEOUT) {
        pasting_ = Pasting::kAsked;
        return;
    }
    // Done without asking for the text: either the window has no WM_PASTE, or another program
    // held the clipboard open meanwhile (one asked for the text, or holds it open still), and the
    // window gave up. Then WM_PASTE goes again once the clipboard is free: having returned, the
    // last one pasted nothing, so nothing is pasted twice.
    if ((otherReader_ || !ClipboardClosed()) && pasteMessages_ < kPasteMessages) return;
    Press({VK_CONTROL}, 'V');
    pasting_ = Pasting::kAsked;
}

bool SelectionDesktopWin32::TryRestore() {
    emptying_ = true;
    const bool done = restoring_.PutBack(window_);
    emptying_ = false;
    return done;
}

void SelectionDesktopWin32::RestoreClipboard() {
    StopWaiting();
    pasting_ = Pasting::kNo;
    // Another program's text, put there since the paste, stays.
    if (pasted_ && (taken_ || GetClipboardOwner() != window_)) return DropKeptClipboard();
    restoring_ = std::move(kept_);
    kept_.Clear();
    pasted_ = false;
    if (TryRestore()) {
        restoring_.Clear();
        return;
    }
    // The reader still holds the clipboard open: again from the timer, for a while.
    restorePending_ = true;
    restoreSequence_ = GetClipboardSequenceNumber();
    restoreDeadline_ = std::chrono::steady_clock::now() + limits_.clipboardBusy;
    SetTimer(window_, kRestoreTimer, kTickMs, nullptr);
}

void SelectionDesktopWin32::DropKeptClipboard() {
    StopWaiting();
    pasting_ = Pasting::kNo;
    pasted_ = false;
    kept_.Clear();
}

void SelectionDesktopWin32::SelectBack(const FrontWindow&, std::size_t characters) {
    Press({VK_SHIFT}, VK_LEFT, characters);
}

}  // namespace litvorot
