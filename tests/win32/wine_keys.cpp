// The Windows tests' hands on another program's window, run under Wine beside it: what xdotool
// would do, but through Win32 (SendInput reaches Wine's hot keys and windows whatever X11 window
// has the focus).
//
//   wine_keys wait CLASS          waits (10 s) for a top-level window of CLASS
//   wine_keys activate CLASS      brings it to the front
//   wine_keys select START END    selects in the focused control of the window in front
//   wine_keys select-text TEXT    selects the first TEXT in it (\n in TEXT stands for a line break)
//   wine_keys caret TEXT          puts the caret right after the first TEXT, nothing selected
//   wine_keys selection           prints the selection's START END
//   wine_keys selected            prints the selected text (UTF-8)
//   wine_keys text                prints the focused control's text (UTF-8)
//   wine_keys keys CHORD...       types each chord: ctrl+s, shift+pause, down:shift, up:shift
//   wine_keys close CLASS         asks the window of CLASS to close
//   wine_keys watch               a clipboard manager that does not honour the marks: prints
//                                 "text T" for each text put on the clipboard, "marked" for one
//                                 marked to be left out ("marked text T" when it got it anyway)
//
// Exit status 0, or 1 when the window or control is not there.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND Focused() {
    HWND front = GetForegroundWindow();
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (front == nullptr || !GetGUIThreadInfo(GetWindowThreadProcessId(front, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus != nullptr ? info.hwndFocus : front;
}

WORD KeyOf(const std::string& name) {
    static const struct {
        const char* name;
        WORD key;
    } keys[] = {{"ctrl", VK_CONTROL}, {"shift", VK_SHIFT}, {"alt", VK_MENU}, {"pause", VK_PAUSE},
                {"space", VK_SPACE},  {"home", VK_HOME},   {"end", VK_END},  {"left", VK_LEFT},
                {"right", VK_RIGHT},  {"down", VK_DOWN},   {"up", VK_UP},    {"insert", VK_INSERT}};
    for (const auto& key : keys) {
        if (name == key.name) return key.key;
    }
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z')
        return static_cast<WORD>(name[0] - 32);
    return 0;
}

INPUT Stroke(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    // Pause has no scan code of its own (its sequence begins with Num Lock's): it goes as the
    // virtual key alone.
    if (key != VK_PAUSE) input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    const bool extended = key == VK_HOME || key == VK_END || key == VK_LEFT || key == VK_RIGHT ||
                          key == VK_UP || key == VK_DOWN || key == VK_INSERT;
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0u) | (extended ? KEYEVENTF_EXTENDEDKEY : 0u);
    return input;
}

// "ctrl+s": each key pressed in order, released in reverse; "down:shift" and "up:shift" alone.
bool Type(const std::string& chord, std::vector<INPUT>& inputs) {
    for (const char* half : {"down:", "up:"}) {
        if (chord.rfind(half, 0) == 0) {
            const WORD key = KeyOf(chord.substr(std::string(half).size()));
            inputs.push_back(Stroke(key, half[0] == 'u'));
            return key != 0;
        }
    }
    std::vector<WORD> keys;
    for (std::size_t start = 0; start <= chord.size();) {
        const std::size_t plus = chord.find('+', start);
        const std::size_t end = plus == std::string::npos ? chord.size() : plus;
        keys.push_back(KeyOf(chord.substr(start, end - start)));
        if (keys.back() == 0) return false;
        start = end + 1;
    }
    for (WORD key : keys) inputs.push_back(Stroke(key, false));
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) inputs.push_back(Stroke(*key, true));
    return true;
}

std::string Utf8(const std::wstring& text) {
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                        static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
}

LRESULT CALLBACK Watcher(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_CLIPBOARDUPDATE) return DefWindowProcW(window, message, wParam, lParam);
    static const UINT mark =
        RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
    if (!OpenClipboard(window)) return 0;
    const bool marked = IsClipboardFormatAvailable(mark);
    std::string line = marked ? "marked" : "";
    if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(block))) {
            line += (marked ? " text " : "text ") + Utf8(text);
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    if (!line.empty()) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return 0;
}

int Watch() {
    WNDCLASSW description{};
    description.lpfnWndProc = &Watcher;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = L"WineKeysWatcher";
    RegisterClassW(&description);
    HWND window = CreateWindowExW(0, description.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, description.hInstance, nullptr);
    if (window == nullptr || !AddClipboardFormatListener(window)) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

// A control's text: WM_GETTEXT is carried across processes, GetWindowText would not ask.
std::wstring TextOf(HWND control) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length);
    std::wstring text(length + 1, L'\0');
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 2000, &length);
    text.resize(length);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    // Texts go out as they are: CR LF stays CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    // The arguments as they were given: argv holds them in the ANSI code page.
    std::vector<std::wstring> args;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc)) {
        args.assign(wide, wide + argc);
        LocalFree(wide);
    }
    const std::string command = argc > 1 ? argv[1] : "";
    if ((command == "wait" || command == "activate" || command == "close") && argc > 2) {
        const std::wstring& name = args[2];
        HWND window = nullptr;
        for (int i = 0; i < 200 && (window = FindWindowW(name.c_str(), nullptr)) == nullptr; ++i) {
            Sleep(50);
        }
        if (window == nullptr) return 1;
        if (command == "wait") return 0;
        if (command == "close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
        SetForegroundWindow(window);
        for (int i = 0; i < 100 && GetForegroundWindow() != window; ++i) Sleep(20);
        return GetForegroundWindow() == window ? 0 : 1;
    }
    HWND focused = Focused();
    if (command == "select" && argc > 3) {
        if (focused == nullptr) return 1;
        SendMessageW(focused, EM_SETSEL, std::atoi(argv[2]), std::atoi(argv[3]));
        return 0;
    }
    if ((command == "select-text" || command == "caret") && argc > 2) {
        if (focused == nullptr) return 1;
        std::wstring wanted = args[2];
        for (std::size_t at; (at = wanted.find(L"\\n")) != std::wstring::npos;) {
            wanted.replace(at, 2, L"\r\n");
        }
        const std::size_t at = TextOf(focused).find(wanted);
        if (wanted.empty() || at == std::wstring::npos) return 1;
        const auto end = static_cast<LPARAM>(at + wanted.size());
        SendMessageW(focused, EM_SETSEL, command == "caret" ? end : static_cast<WPARAM>(at), end);
        return 0;
    }
    if (command == "selection") {
        DWORD start = 0, end = 0;
        if (focused == nullptr) return 1;
        SendMessageW(focused, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        std::printf("%lu %lu\n", start, end);
        return 0;
    }
    if (command == "text" || command == "selected") {
        if (focused == nullptr) return 1;
        std::wstring text = TextOf(focused);
        if (command == "selected") {
            DWORD start = 0, end = 0;
            SendMessageW(focused, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end));
            text = end <= text.size() && start <= end ? text.substr(start, end - start) : L"";
        }
        const std::string utf8 = Utf8(text);
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        return 0;
    }
    if (command == "keys") {
        std::vector<INPUT> inputs;
        for (int i = 2; i < argc; ++i) {
            if (!Type(argv[i], inputs)) {
                std::fprintf(stderr, "wine_keys: unknown chord %s\n", argv[i]);
                return 2;
            }
        }
        return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
                       inputs.size()
                   ? 0
                   : 1;
    }
    if (command == "watch") return Watch();
    std::fprintf(stderr,
                 "usage: wine_keys wait|activate CLASS | select START END | select-text TEXT | "
                 "caret TEXT | selection | selected | "
                 "text | keys CHORD... | close CLASS | watch\n");
    return 2;
}
