#include "windows/modWindows_win32.h"

#include <algorithm>
#include <vector>

#include "resources/litvorot_rc.h"
#include "windows/dlgStatus_win32.h"
#include "windows/dlgTable_win32.h"
#include "windows/frmAbout_win32.h"
#include "windows/frmHelp_win32.h"
#include "windows/modWindows.h"

namespace litvorot {

namespace {
int openWindows = 0;
std::vector<HWND>& Dialogs() {
    static std::vector<HWND> dialogs;
    return dialogs;
}
}  // namespace

HINSTANCE AppInstance() { return GetModuleHandleW(nullptr); }

void AddAppWindow() { ++openWindows; }

void ReleaseAppWindow() {
    if (openWindows > 0 && --openWindows == 0) PostQuitMessage(0);
}

int AppWindowCount() { return openWindows; }

HWND HiddenOwner() {
    static HWND owner = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = AppInstance();
        windowClass.lpszClassName = L"LitvorotOwner";
        RegisterClassW(&windowClass);
        return CreateWindowExW(0, L"LitvorotOwner", L"Litvorot", WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, AppInstance(), nullptr);
    }();
    return owner;
}

void AddModelessDialog(HWND dialog) { Dialogs().push_back(dialog); }

void RemoveModelessDialog(HWND dialog) { std::erase(Dialogs(), dialog); }

bool IsAppDialogMessage(MSG& message) {
    for (HWND dialog : Dialogs()) {
        if (IsDialogMessageW(dialog, &message)) return true;
    }
    return false;
}

void DispatchAppMessage(MSG& message) {
    if (IsAppDialogMessage(message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

HWND SingleDialog::Open(int id, HWND owner, DLGPROC proc, LPARAM param, bool activate) {
    if (dialog_ == nullptr) {
        CreateDialogParamW(AppInstance(), MAKEINTRESOURCEW(id), owner, proc, param);
        if (dialog_ != nullptr) ShowWindow(dialog_, activate ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
    } else if (IsIconic(dialog_)) {
        // An open dialog is shown as the user left it: a maximised one stays maximised, a
        // minimised one comes back at the size it had before (maximised, if it was).
        ShowWindow(dialog_, activate ? SW_RESTORE : SW_SHOWNOACTIVATE);
    } else {
        ShowWindow(dialog_, activate ? SW_SHOW : SW_SHOWNA);
    }
    if (dialog_ != nullptr && activate) SetForegroundWindow(dialog_);
    return dialog_;
}

HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, void* self,
                         const wchar_t* title) {
    WNDCLASSW description{};
    description.lpfnWndProc = procedure;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = className;
    RegisterClassW(&description);  // fails harmlessly once the class is registered
    return CreateWindowExW(0, className, title, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), self);
}

void SingleDialog::Created(HWND dialog) {
    dialog_ = dialog;
    AddAppWindow();
    if (keys_ == kDialogKeys) AddModelessDialog(dialog);
    SetWindowIcons(dialog);
}

INT_PTR SingleDialog::OtherMessage(HWND dialog, UINT message) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(dialog);
            return TRUE;
        case WM_NCDESTROY:
            Destroyed();
            return FALSE;
        default:
            return FALSE;
    }
}

void SingleDialog::Destroyed() {
    if (keys_ == kDialogKeys) RemoveModelessDialog(dialog_);
    dialog_ = nullptr;
    ReleaseAppWindow();
}

void SetClientSize(HWND window, int width, int height) {
    RECT rect{0, 0, width, height};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    AdjustWindowRectEx(&rect, style, GetMenu(window) != nullptr, exStyle);
    SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceControl(HWND dialog, int id, int left, int top, int width, int height) {
    MoveWindow(GetDlgItem(dialog, id), left, top, width, height, FALSE);
}

void CentreOnScreen(HWND window) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT rect{};
    GetWindowRect(window, &rect);
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    const LONG left = work.left + std::max(0L, (work.right - work.left - width) / 2);
    const LONG top = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PaintLine(HWND window, COLORREF colour, POINT from, POINT to) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
    SelectObject(dc, old);
    DeleteObject(pen);
    EndPaint(window, &paint);
}

HICON ProgramIcon(int size) {
    static HICON small = nullptr;
    static HICON big = nullptr;
    HICON& icon = size <= 16 ? small : big;
    if (icon == nullptr) {
        icon = static_cast<HICON>(LoadImageW(AppInstance(), MAKEINTRESOURCEW(IDI_LITVOROT),
                                             IMAGE_ICON, size, size, LR_SHARED));
    }
    return icon;
}

void SetWindowIcons(HWND window) {
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(16)));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(32)));
}

std::filesystem::path ExecutableDirectory() {
    std::wstring module(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
        if (length < module.size()) {
            module.resize(length);
            break;
        }
        module.resize(module.size() * 2);
    }
    return std::filesystem::path(module).parent_path();
}

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length = static_cast<int>(std::min<std::size_t>(utf8.size(), 0x7fffffff));
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), units);
    return wide;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), 0x7fffffff));
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

}  // namespace litvorot

namespace litvorot::windows {

void OpenTable() { dlgTable::Open(); }
void OpenHelp() { frmHelp::Open(); }
void OpenAbout() { frmAbout::Open(); }

void OpenStatusDialog(TextFormat source, TextFormat dest, std::string_view reading) {
    dlgStatus::Open(source, dest, Widen(reading));
}

}  // namespace litvorot::windows
