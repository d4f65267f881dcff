#include "windows/frmHelp_win32.h"

#include <exdisp.h>
#include <ole2.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

#include "convert/modUtf8.h"
#include "resources/litvorot_rc.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {

SingleDialog instance;
bool browserAllowed = true;

// The classic web-browser control, hosted by ATL's control window class.
constexpr wchar_t kBrowserHostClass[] = L"AtlAxWin";
constexpr wchar_t kBrowserClassId[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
// The HTML document the control shows pages with; without it the control stays blank.
constexpr CLSID kHtmlDocument = {
    0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

using AtlAxWinInitProc = BOOL(WINAPI*)();
using AtlAxGetControlProc = HRESULT(WINAPI*)(HWND, IUnknown**);

// atl.dll, loaded once and kept (its window class lives in it), with AtlAxWin registered; the
// control getter or nullptr when the host is not available.
AtlAxGetControlProc BrowserHost() {
    static const AtlAxGetControlProc getControl = []() -> AtlAxGetControlProc {
        if (FAILED(OleInitialize(nullptr))) return nullptr;
        HMODULE atl = LoadLibraryW(L"atl.dll");
        if (atl == nullptr) return nullptr;
        const auto init = reinterpret_cast<AtlAxWinInitProc>(
            reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
        const auto get = reinterpret_cast<AtlAxGetControlProc>(
            reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
        if (init == nullptr || get == nullptr || !init()) return nullptr;
        IClassFactory* factory = nullptr;
        if (FAILED(CoGetClassObject(kHtmlDocument, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                    reinterpret_cast<void**>(&factory)))) {
            return nullptr;
        }
        factory->Release();
        return get;
    }();
    return getControl;
}

// The web-browser interface of the control in `host`, or nullptr; the caller releases it.
IWebBrowser2* BrowserOf(HWND host) {
    const AtlAxGetControlProc getControl = BrowserHost();
    if (host == nullptr || getControl == nullptr) return nullptr;
    IUnknown* control = nullptr;
    if (FAILED(getControl(host, &control)) || control == nullptr) return nullptr;
    IWebBrowser2* browser = nullptr;
    control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
    control->Release();
    return browser;
}

// Puts the browser control in place of the text view; false (the text view stays) when it cannot
// be created.
bool CreateBrowser(HWND dialog) {
    if (!browserAllowed || BrowserHost() == nullptr) return false;
    HWND text = GetDlgItem(dialog, IDC_WEBBROWSER1);
    RECT place{};
    GetWindowRect(text, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    HWND host = CreateWindowExW(
        0, kBrowserHostClass, kBrowserClassId, WS_CHILD | WS_VISIBLE | WS_TABSTOP, place.left,
        place.top, place.right - place.left, place.bottom - place.top, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_WEBBROWSER1)), AppInstance(), nullptr);
    IWebBrowser2* browser = BrowserOf(host);
    if (browser == nullptr) {
        if (host != nullptr) DestroyWindow(host);
        return false;
    }
    browser->Release();
    DestroyWindow(text);
    return true;
}

// The text view: the page's readable text, or which page could not be read.
void ShowAsText(HWND viewer, const std::filesystem::path& page) {
    std::ifstream in(page, std::ios::binary);
    std::wstring text;
    if (in) {
        std::ostringstream content;
        content << in.rdbuf();
        text = frmHelp::HtmlToText(content.str());
    } else {
        text = L"The page could not be shown:\r\n" + page.wstring();
    }
    SendMessageW(viewer, EM_SETLIMITTEXT, 0, 0);
    SetWindowTextW(viewer, text.c_str());
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string LowerName(std::string_view text) {
    std::string name;
    for (char c : text) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '!')) break;
        name += Lower(c);
    }
    return name;
}

bool IsBlock(std::string_view name) {
    static constexpr std::array<std::string_view, 22> kBlocks{
        "p",  "br", "div",   "h1",  "h2",         "h3", "h4", "h5", "h6", "li",    "ul",
        "ol", "tr", "table", "pre", "blockquote", "dl", "dt", "dd", "hr", "title", "section"};
    for (std::string_view block : kBlocks) {
        if (name == block) return true;
    }
    return false;
}

void AppendCodePoint(std::u32string& out, std::uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    out += static_cast<char32_t>(code);
}

// The page's characters: each malformed part of its UTF-8 (see Utf8ToUtf32Lenient) and each NUL,
// which would end the text the window is given, as U+FFFD.
std::u32string DecodePage(std::string_view html) {
    std::u32string text = Utf8ToUtf32Lenient(html);
    std::replace(text.begin(), text.end(), U'\0', U'\xFFFD');
    return text;
}

// Decodes the character reference that starts at text[i] ('&'); advances i past it. An unknown
// reference stays as it is.
void DecodeReference(std::u32string_view text, std::size_t& i, std::u32string& out) {
    const std::size_t end = text.find(U';', i);
    if (end == std::u32string_view::npos || end - i > 10) {
        out += text[i++];
        return;
    }
    const std::u32string_view name = text.substr(i + 1, end - i - 1);
    static constexpr std::array<std::pair<std::u32string_view, char32_t>, 8> kNamed{
        {{U"amp", U'&'},
         {U"lt", U'<'},
         {U"gt", U'>'},
         {U"quot", U'"'},
         {U"apos", U'\''},
         {U"nbsp", U'\xA0'},
         {U"laquo", U'\xAB'},
         {U"raquo", U'\xBB'}}};
    for (const auto& [key, value] : kNamed) {
        if (name == key) {
            out += value;
            i = end + 1;
            return;
        }
    }
    if (name.size() >= 2 && name[0] == U'#') {
        const bool hex = name[1] == U'x' || name[1] == U'X';
        std::uint32_t code = 0;
        bool good = name.size() > (hex ? 2u : 1u);
        for (std::size_t k = hex ? 2 : 1; k < name.size() && good; ++k) {
            const char32_t c = name[k];
            std::uint32_t digit = 0;
            if (c >= U'0' && c <= U'9')
                digit = static_cast<std::uint32_t>(c - U'0');
            else if (hex && c >= U'a' && c <= U'f')
                digit = static_cast<std::uint32_t>(c - U'a' + 10);
            else if (hex && c >= U'A' && c <= U'F')
                digit = static_cast<std::uint32_t>(c - U'A' + 10);
            else
                good = false;
            code = code * (hex ? 16u : 10u) + digit;
            if (code > 0x10FFFF) code = 0x110000;  // stays out of range, no overflow
        }
        if (good) {
            AppendCodePoint(out, code);
            i = end + 1;
            return;
        }
    }
    out += text[i++];
}

std::wstring ToWide(std::u32string_view text) {
    std::wstring out;
    for (char32_t c : text) {
        if (c == U'\n') {
            out += L"\r\n";
        } else if (c >= 0x10000) {
            const auto v = static_cast<std::uint32_t>(c) - 0x10000;
            out += static_cast<wchar_t>(0xD800 + (v >> 10));
            out += static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

}  // namespace

std::wstring frmHelp::HtmlToText(std::string_view html) {
    const std::u32string text = DecodePage(html);
    std::u32string out;
    bool inPre = false;
    std::string skipUntil;  // "/script", "/style", "/head" while inside those
    auto newLine = [&out](int count) {
        while (!out.empty() && out.back() == U' ') out.pop_back();
        int have = 0;
        for (auto it = out.rbegin(); it != out.rend() && *it == U'\n'; ++it) ++have;
        if (out.empty()) return;
        for (; have < count; ++have) out += U'\n';
    };
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = text[i];
        if (c == U'<') {
            const std::size_t start = i;
            const std::size_t close = text.find(U'>', i);
            if (close == std::u32string::npos) break;
            std::string tag;
            for (std::size_t k = i + 1; k < close; ++k) {
                tag += text[k] < 0x80 ? static_cast<char>(text[k]) : '?';
            }
            i = close + 1;
            if (tag.starts_with("!--")) {  // a comment may hold '>'
                const std::size_t end = text.find(U"-->", start + 4);
                i = end == std::u32string::npos ? text.size() : end + 3;
                continue;
            }
            const std::string name = LowerName(tag);
            if (!skipUntil.empty()) {
                if (name == skipUntil) skipUntil.clear();
                continue;
            }
            if (name == "script" || name == "style") {
                // Raw text up to the closing tag, whatever '<' it holds.
                const std::u32string closing = U"</" + std::u32string(name.begin(), name.end());
                std::size_t end = i;
                for (; end + closing.size() <= text.size(); ++end) {
                    bool same = true;
                    for (std::size_t k = 0; k < closing.size() && same; ++k) {
                        const char32_t got = text[end + k];
                        same = (got >= U'A' && got <= U'Z' ? got + 32 : got) == closing[k];
                    }
                    if (same) break;
                }
                const std::size_t rawEnd = text.find(U'>', end);
                i = rawEnd == std::u32string::npos ? text.size() : rawEnd + 1;
                continue;
            }
            if (name == "head") {
                skipUntil = "/" + name;
                continue;
            }
            const bool closing = name.starts_with('/');
            const std::string bare = closing ? name.substr(1) : name;
            if (bare == "pre") inPre = !closing;
            if (bare == "li" && !closing) {
                newLine(1);
                out += U"\x2022 ";
            } else if (bare == "br") {
                out += U'\n';
            } else if (bare == "td" || bare == "th") {
                if (!closing) out += U'\t';
            } else if (IsBlock(bare)) {
                newLine(bare == "p" || bare.starts_with('h') || bare == "pre" ? 2 : 1);
            }
            continue;
        }
        if (!skipUntil.empty()) {
            ++i;
            continue;
        }
        if (c == U'&') {
            DecodeReference(text, i, out);
            continue;
        }
        if (!inPre && (c == U' ' || c == U'\t' || c == U'\r' || c == U'\n')) {
            if (!out.empty() && out.back() != U' ' && out.back() != U'\n') out += U' ';
        } else if (c != U'\r') {
            out += c;
        }
        ++i;
    }
    while (!out.empty() && (out.back() == U' ' || out.back() == U'\n')) out.pop_back();
    return ToWide(out);
}

std::filesystem::path frmHelp::PagePath() { return ExecutableDirectory() / L"help.html"; }

HWND frmHelp::Instance() { return instance.Get(); }

HWND frmHelp::Open() { return instance.Open(IDD_HELP, nullptr, &DialogProc); }

void frmHelp::AllowBrowser(bool allow) { browserAllowed = allow; }

bool frmHelp::BrowserAvailable() { return BrowserHost() != nullptr; }

IWebBrowser2* frmHelp::Browser(HWND dialog) {
    HWND viewer = GetDlgItem(dialog, IDC_WEBBROWSER1);
    wchar_t name[16] = {};
    GetClassNameW(viewer, name, 16);
    return std::wstring_view(name) == kBrowserHostClass ? BrowserOf(viewer) : nullptr;
}

void frmHelp::Navigate(HWND dialog, const std::filesystem::path& page) {
    if (IWebBrowser2* browser = Browser(dialog)) {
        // A plain file path; the control shows its own page when it cannot open it.
        BSTR location = SysAllocString(page.c_str());
        browser->Navigate(location, nullptr, nullptr, nullptr, nullptr);
        SysFreeString(location);
        browser->Release();
        return;
    }
    ShowAsText(GetDlgItem(dialog, IDC_WEBBROWSER1), page);
}

void frmHelp::Form_Load(HWND dialog) {
    SetWindowTextW(dialog, L"Help on Litvorot");
    CreateBrowser(dialog);
    Navigate(dialog, PagePath());
}

void frmHelp::Form_Resize(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    MoveWindow(GetDlgItem(dialog, IDC_WEBBROWSER1), 0, 0, client.right, client.bottom, TRUE);
}

INT_PTR CALLBACK frmHelp::DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            instance.Created(dialog);
            SetClientSize(dialog, 538, 441);
            CentreOnScreen(dialog);
            Form_Load(dialog);
            Form_Resize(dialog);
            SetFocus(GetDlgItem(dialog, IDC_WEBBROWSER1));
            if (IWebBrowser2* browser = Browser(dialog)) {
                browser->Release();
            } else {
                SendDlgItemMessageW(dialog, IDC_WEBBROWSER1, EM_SETSEL, 0, 0);
            }
            return FALSE;  // the focus is set
        case WM_SIZE:
            Form_Resize(dialog);
            return TRUE;
        case WM_COMMAND:  // Enter and Escape do nothing; only the title bar closes the window
            return TRUE;
        default:
            return instance.OtherMessage(dialog, message);
    }
}
