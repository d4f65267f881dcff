#include "shell/frmSplash_win32.h"

#include <string>
#include <utility>

#include "detect/modDetect.h"
#include "resources/litvorot_rc.h"
#include "shell/modHotKey_win32.h"
#include "shell/modMiscRoutines.h"
#include "shell/modSystemTray_win32.h"
#include "windows/dlgStatus_win32.h"
#include "windows/dlgTable_win32.h"
#include "windows/frmAbout_win32.h"
#include "windows/frmHelp_win32.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {

frmSplash* current = nullptr;
constexpr wchar_t kClassName[] = L"frmSplash";
constexpr int kSplashWidth = 426;
constexpr int kSplashHeight = 210;
constexpr std::array<UINT, 4> kSourceItems{IDM_SOURCE_KOI8, IDM_SOURCE_CP1251, IDM_SOURCE_TRANSLIT,
                                           IDM_SOURCE_UNICODE};
constexpr std::array<UINT, 4> kDestItems{IDM_DEST_KOI8, IDM_DEST_CP1251, IDM_DEST_TRANSLIT,
                                         IDM_DEST_UNICODE};

}  // namespace

// The clipboard member is only referred to while the base is built; it is used after.
frmSplash::frmSplash(std::filesystem::path exeDir)
    : frmSplashBase(clipboard_, std::move(exeDir), std::filesystem::path()) {
    current = this;
}

frmSplash::~frmSplash() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (menuBar_ != nullptr) DestroyMenu(menuBar_);
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

    imgSplash =
        CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0,
                        kSplashWidth, kSplashHeight, hwnd_, nullptr, AppInstance(), nullptr);
    HANDLE picture = LoadImageW(AppInstance(), MAKEINTRESOURCEW(IDB_SPLASH), IMAGE_BITMAP, 0, 0,
                                LR_DEFAULTCOLOR);
    SendMessageW(imgSplash, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
    imgSmallIcon = ProgramIcon(16);
    menuBar_ = LoadMenuW(AppInstance(), MAKEINTRESOURCEW(IDR_MENU));
    mnuPopup = GetSubMenu(menuBar_, 0);

    // 1-4: the splash picture, centred, for about a second; then hidden for good.
    SetWindowPos(hwnd_, nullptr, 0, 0, kSplashWidth, kSplashHeight, SWP_NOMOVE | SWP_NOZORDER);
    CentreOnScreen(hwnd_);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    Pause(splashSeconds);
    ShowWindow(hwnd_, SW_HIDE);
    if (quitAsked_) {  // asked to close during the splash: nothing to undo yet
        PostQuitMessage(0);
        return true;
    }

    // 5-8: tray icon, letter tables, settings, hot key.
    AddTrayIcon("Litvorot", hwnd_, imgSmallIcon);
    BuildTables();
    if (!ReadSettings()) {
        SetSourceFormat(kTranslit);
        SetDestFormat(kCp1251);
        SetDisplayStatus(false);
    }
    RegisterAppHotKey(hwnd_, MOD_CONTROL, VK_SPACE, &HotKeyPressed);
    resident_ = true;
    return true;
}

void frmSplash::CheckFormatItem(FormatMenu menu, TextFormat format) {
    const std::array<UINT, 4>& items = menu == FormatMenu::Source ? kSourceItems : kDestItems;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const bool checked = static_cast<TextFormat>(i + 1) == format;
        CheckMenuItem(menuBar_, items[i], MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    }
    if (menu == FormatMenu::Source) {
        CheckMenuItem(menuBar_, IDM_SOURCE_AUTO,
                      MF_BYCOMMAND | (format == kAuto ? MF_CHECKED : MF_UNCHECKED));
    }
}

void frmSplash::EnableUndoItem(bool enabled) {
    EnableMenuItem(menuBar_, IDM_UNDO, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void frmSplash::CheckDisplayStatusItem(bool checked) {
    CheckMenuItem(menuBar_, IDM_DISPLAY_STATUS,
                  MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void frmSplash::OpenStatusDialog() {
    dlgStatus::Open(SourceFormat(), DestFormat(), Widen(AutoReading()));
}

void frmSplash::mnuShowTable_Click() { dlgTable::Open(); }
void frmSplash::mnuHelp_Click() { frmHelp::Open(); }
void frmSplash::mnuAbout_Click() { frmAbout::Open(); }

void frmSplash::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    // A settings file that cannot be written has been reported; the program ends all the same.
    SaveSettings();
    UnregisterAppHotKey();
    RemoveTrayIcon();
    DestroyWindow(hwnd_);
}

void frmSplash::Quit() {
    if (!shutDown_) {
        shutDown_ = true;
        UnregisterAppHotKey();
        RemoveTrayIcon();
    }
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    PostQuitMessage(0);
}

void frmSplash::Form_MouseMove(LPARAM lParam) {
    if (TrayMouseMessage(lParam) != 2 || shutDown_) return;
    SetForegroundWindow(hwnd_);
    POINT at{};
    GetCursorPos(&at);
    TrackPopupMenu(mnuPopup, TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    // Lets the menu close when the user clicks elsewhere after it was dismissed once.
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void frmSplash::HotKeyPressed() {
    if (current != nullptr) current->mnuGo_Click();
}

void frmSplash::OnCommand(UINT id) {
    switch (id) {
        case IDM_SOURCE_TRANSLIT:
            mnuSourceTranslit_Click();
            break;
        case IDM_SOURCE_KOI8:
            mnuSourceKOI8_Click();
            break;
        case IDM_SOURCE_CP1251:
            mnuSourceCP1251_Click();
            break;
        case IDM_SOURCE_UNICODE:
            mnuSourceUnicode_Click();
            break;
        case IDM_SOURCE_AUTO:
            mnuSourceAuto_Click();
            break;
        case IDM_DEST_TRANSLIT:
            mnuDestTranslit_Click();
            break;
        case IDM_DEST_KOI8:
            mnuDestKOI8_Click();
            break;
        case IDM_DEST_CP1251:
            mnuDestCP1251_Click();
            break;
        case IDM_DEST_UNICODE:
            mnuDestUnicode_Click();
            break;
        case IDM_DISPLAY_STATUS:
            mnuDisplayStatus_Click();
            break;
        case IDM_GO:
            mnuGo_Click();
            break;
        case IDM_UNDO:
            mnuUndo_Click();
            break;
        case IDM_SHOW_TABLE:
            mnuShowTable_Click();
            break;
        case IDM_HELP:
            mnuHelp_Click();
            break;
        case IDM_ABOUT:
            mnuAbout_Click();
            break;
        case IDM_EXIT:
            mnuExit_Click();
            break;
        default:
            break;
    }
}

LRESULT CALLBACK frmSplash::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    frmSplash* self = current;
    switch (message) {
        case kTrayCallbackMessage:
            if (self != nullptr && window == self->hwnd_) self->Form_MouseMove(lParam);
            return 0;
        case WM_COMMAND:
            if (self != nullptr && HIWORD(wParam) == 0) self->OnCommand(LOWORD(wParam));
            return 0;
        case WM_CLOSE:  // another program asking the program to end (taskkill without /F)
            if (self != nullptr && window == self->hwnd_) {
                if (self->resident_) {
                    self->Quit();
                } else {
                    self->quitAsked_ = true;
                }
            }
            return 0;
        case WM_QUERYENDSESSION:  // log-off or shut-down: the program agrees to end
            return TRUE;
        case WM_ENDSESSION:  // the session ends now (wParam): no settings write either
            if (wParam != FALSE && self != nullptr && window == self->hwnd_ && self->resident_) {
                self->Quit();
            }
            return 0;
        case WM_NCDESTROY:
            if (self != nullptr && window == self->hwnd_) self->hwnd_ = nullptr;
            ReleaseAppWindow();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
