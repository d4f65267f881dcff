#include "shell/frmSplash_win32.h"

#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "detect/modDetect.h"
#include "resources/litvorot_rc.h"
#include "shell/modMenu.h"
#include "shell/modMiscRoutines.h"
#include "shell/modSystemTray_win32.h"
#include "windows/modWindows.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {

frmSplash* current = nullptr;
constexpr wchar_t kClassName[] = L"frmSplash";
constexpr int kSplashWidth = 426;
constexpr int kSplashHeight = 210;

UINT Flag(bool on, UINT yes, UINT no) { return on ? yes : no; }

}  // namespace

// The platform is this window, so the controller gets it before the members are built; it uses
// it only after.
frmSplash::frmSplash(std::filesystem::path exeDir)
    : frmSplashBase(*this, std::move(exeDir), std::filesystem::path()) {
    current = this;
}

frmSplash::~frmSplash() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (mnuPopup != nullptr) DestroyMenu(mnuPopup);
    if (current == this) current = nullptr;
}

frmSplash* frmSplash::Current() { return current; }

bool frmSplash::Form_Load(int splashSeconds) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = AppInstance();
    windowClass.hIcon = ProgramIcon(32);
    windowClass.hIconSm = ProgramIcon(16);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    // Borderless, and a tool window so that it has no taskbar button.
    hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Litvorot", WS_POPUP, 0, 0, kSplashWidth,
                            kSplashHeight, nullptr, nullptr, AppInstance(), this);
    if (hwnd_ == nullptr) return false;
    AddAppWindow();
    clipboard_.SetOwner(hwnd_);
    hotKey_.SetWindow(hwnd_);

    imgSplash =
        CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0,
                        kSplashWidth, kSplashHeight, hwnd_, nullptr, AppInstance(), nullptr);
    HANDLE picture = LoadImageW(AppInstance(), MAKEINTRESOURCEW(IDB_SPLASH), IMAGE_BITMAP, 0, 0,
                                LR_DEFAULTCOLOR);
    SendMessageW(imgSplash, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
    imgSmallIcon = ProgramIcon(16);
    BuildMenu();
    frmSplashBase::Form_Load(splashSeconds);
    return true;
}

void frmSplash::BuildMenu() {
    mnuPopup = CreatePopupMenu();
    std::map<std::string_view, HMENU> menus{{kMenuRoot, mnuPopup}};
    for (const MenuItem& item : MenuItems()) {
        HMENU parent = menus.at(item.parent);
        const std::wstring caption = Widen(item.caption);
        switch (item.kind) {
            case MenuKind::Submenu: {
                HMENU menu = CreatePopupMenu();
                menus[item.name] = menu;
                AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu),
                            caption.c_str());
                break;
            }
            case MenuKind::Separator:
                AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
                break;
            case MenuKind::Item:
                AppendMenuW(parent, MF_STRING | Flag(item.greyed, MF_GRAYED, MF_ENABLED),
                            MenuCommandId(item.command), caption.c_str());
                break;
        }
    }
}

void frmSplash::ShowSplash() {
    SetWindowPos(hwnd_, nullptr, 0, 0, kSplashWidth, kSplashHeight, SWP_NOMOVE | SWP_NOZORDER);
    CentreOnScreen(hwnd_);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
}

void frmSplash::HideSplash() { ShowWindow(hwnd_, SW_HIDE); }

void frmSplash::Pause(int seconds) { litvorot::Pause(seconds); }

void frmSplash::AddTrayIcon(std::string_view tip) {
    litvorot::AddTrayIcon(std::string(tip).c_str(), hwnd_, imgSmallIcon);
}

void frmSplash::RemoveTrayIcon() { litvorot::RemoveTrayIcon(); }

void frmSplash::SetMenuItemChecked(const MenuItem& item, bool checked) {
    CheckMenuItem(mnuPopup, MenuCommandId(item.command),
                  MF_BYCOMMAND | Flag(checked, MF_CHECKED, MF_UNCHECKED));
}

void frmSplash::SetMenuItemEnabled(const MenuItem& item, bool enabled) {
    EnableMenuItem(mnuPopup, MenuCommandId(item.command),
                   MF_BYCOMMAND | Flag(enabled, MF_ENABLED, MF_GRAYED));
}

void frmSplash::CloseMainWindow() { DestroyWindow(hwnd_); }

void frmSplash::EndProgram() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    PostQuitMessage(0);
}

void frmSplash::Form_MouseMove(LPARAM lParam) {
    if (TrayMouseMessage(lParam) != 2 || ShuttingDown()) return;
    SetForegroundWindow(hwnd_);
    POINT at{};
    GetCursorPos(&at);
    TrackPopupMenu(mnuPopup, TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    // Lets the menu close when the user clicks elsewhere after it was dismissed once.
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

LRESULT CALLBACK frmSplash::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    frmSplash* self = current;
    switch (message) {
        case kTrayCallbackMessage:
            if (self != nullptr && window == self->hwnd_) self->Form_MouseMove(lParam);
            return 0;
        case WM_COMMAND:
            if (self != nullptr && HIWORD(wParam) == 0) {
                self->RunMenuCommand(MenuCommandOfId(LOWORD(wParam)));
            }
            return 0;
        case WM_CLOSE:  // another program asking the program to end (taskkill without /F)
            if (self != nullptr && window == self->hwnd_) self->Quit();
            return 0;
        case WM_QUERYENDSESSION:  // log-off or shut-down: the program agrees to end
            return TRUE;
        case WM_ENDSESSION:  // the session ends now (wParam): no settings write either
            if (wParam != FALSE && self != nullptr && window == self->hwnd_) self->Quit();
            return 0;
        case WM_NCDESTROY:
            if (self != nullptr && window == self->hwnd_) self->hwnd_ = nullptr;
            ReleaseAppWindow();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
