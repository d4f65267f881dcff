#include "shell/frmSplash_win32.h"

#include <shlobj.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "clipboard/clipboard_win32.h"
#include "resources/litvorot_rc.h"
#include "shell/modHotKeyTaken.h"
#include "shell/modHotKey_win32.h"
#include "shell/modMenu.h"
#include "shell/modMiscRoutines.h"
#include "shell/modPlatform.h"
#include "shell/modSelection_win32.h"
#include "shell/modSystemTray_win32.h"
#include "tables/modMessages.h"
#include "windows/dlgStatus_win32.h"
#include "windows/modWindows.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {

frmSplash* current = nullptr;
constexpr wchar_t kClassName[] = L"frmSplash";

UINT Flag(bool on, UINT yes, UINT no) { return on ? yes : no; }

}  // namespace

std::filesystem::path HotKeyNoticeFileWin32() {
    wchar_t folder[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) !=
        S_OK) {
        return {};
    }
    return std::filesystem::path(folder) / L"Litvorot" / L"hotkey-taken";
}

// The controller's platform under Win32.
class frmSplash::Desktop final : public Platform {
  public:
    explicit Desktop(std::filesystem::path noticeFile)
        : noticeFile_(std::move(noticeFile)),
          selectionNoticeFile_(noticeFile_.empty()
                                   ? std::filesystem::path()
                                   : noticeFile_.parent_path() / kSelectionKeyNoticeName) {}
    frmSplash* window = nullptr;
    ClipboardWin32 clipboard{nullptr};
    Win32HotKey hotKey;
    Win32HotKey selectionHotKey{Win32HotKey::Which::kSelection};
    SelectionDesktopWin32 selection;

    Clipboard& AppClipboard() override { return clipboard; }
    HotKey& AppHotKey() override { return hotKey; }
    SelectionDesktop* AppSelectionDesktop() override { return &selection; }
    HotKey* AppSelectionHotKey() override { return &selectionHotKey; }

    void ShowSplash() override {
        const HWND hwnd = window->hwnd_;
        SetWindowPos(hwnd, nullptr, 0, 0, kSplashWidth, kSplashHeight, SWP_NOMOVE | SWP_NOZORDER);
        CentreOnScreen(hwnd);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
    }
    void HideSplash() override { ShowWindow(window->hwnd_, SW_HIDE); }
    void Pause(int seconds) override { litvorot::Pause(seconds); }

    void AddTrayIcon(std::string_view tip) override {
        trayIcon_ =
            litvorot::AddTrayIcon(std::string(tip).c_str(), window->hwnd_, window->imgSmallIcon);
    }
    void RemoveTrayIcon() override { litvorot::RemoveTrayIcon(); }

    void SetMenuItemChecked(const MenuItem& item, bool checked) override {
        CheckMenuItem(window->mnuPopup, MenuCommandId(item.command),
                      MF_BYCOMMAND | Flag(checked, MF_CHECKED, MF_UNCHECKED));
    }
    void SetMenuItemEnabled(const MenuItem& item, bool enabled) override {
        EnableMenuItem(window->mnuPopup, MenuCommandId(item.command),
                       MF_BYCOMMAND | Flag(enabled, MF_ENABLED, MF_GRAYED));
    }

    void OpenStatusDialog(TextFormat source, TextFormat dest, const std::string& reading) override {
        // After a replaced selection the window that holds it keeps the keyboard: the keys that
        // select the text again are still on their way to it, and a second press must find it in
        // front.
        dlgStatus::Open(source, dest, Widen(reading), !selection.Finishing());
    }
    void OpenWindow(AppWindow which) override { windows::OpenAppWindow(which); }

    // The Windows program keeps no log.
    void SettingsFileChosen(const std::filesystem::path&, bool) override {}

    // A message box runs a message loop of its own, which must not run inside a conversion: the
    // message waits for the window's own loop.
    void ShowMessage(std::string_view text) override {
        messages_.emplace_back(text);
        if (window->hwnd_ == nullptr || !PostMessageW(window->hwnd_, kShowMessageMessage, 0, 0)) {
            ShowNextMessage();
        }
    }
    void ShowNextMessage() {
        if (messages_.empty()) return;
        const std::string text = std::move(messages_.front());
        messages_.pop_front();
        litvorot::ShowMessage(text);
    }
    void ShowNotice(std::string_view title, std::string_view text) override {
        ShowTrayBalloon(Widen(title), Widen(text), NIIF_INFO);
    }
    void ReportHotKey(bool registered) override {
        if (!registered && !trayIcon_) return;  // nothing to tell it through
        const bool due = HotKeyNoticeDue(registered, noticeFile_);
        if (registered) return;
        hotKeyTaken_ = true;
        SetTrayTip(std::string(kHotKeyTakenTipWindows).c_str());
        if (due) {
            ShowTrayBalloon(Widen(kHotKeyTakenTitle), Widen(kHotKeyTakenMessageWindows),
                            NIIF_WARNING);
            hotKeyBalloon_ = true;
        }
    }
    // Told after Ctrl+Space (ReportHotKey), in the same tip and, when both are news, one balloon.
    void ReportSelectionHotKey(bool registered) override {
        if (!registered && !trayIcon_) return;
        const bool due = HotKeyNoticeDue(registered, selectionNoticeFile_);
        if (registered) return;
        SetTrayTip(
            std::string(hotKeyTaken_ ? kBothKeysTakenTipWindows : kSelectionKeyTakenTipWindows)
                .c_str());
        if (!due) return;
        if (hotKeyBalloon_) {
            ShowTrayBalloon(Widen(kBothKeysTakenTitle), Widen(kBothKeysTakenMessageWindows),
                            NIIF_WARNING);
        } else {
            ShowTrayBalloon(Widen(kSelectionKeyTakenTitle), Widen(kSelectionKeyTakenMessageWindows),
                            NIIF_WARNING);
        }
    }
    void CallAfter(std::chrono::milliseconds delay, std::function<void()> callback) override {
        if (window->hwnd_ == nullptr) return;
        const UINT_PTR id = nextTimer_++;
        const auto milliseconds =
            std::clamp<long long>(delay.count(), USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
        if (SetTimer(window->hwnd_, id, static_cast<UINT>(milliseconds), nullptr) == 0) return;
        timers_[id] = std::move(callback);
    }
    void TimerFired(UINT_PTR id) {
        KillTimer(window->hwnd_, id);
        const auto timer = timers_.find(id);
        if (timer == timers_.end()) return;
        const std::function<void()> callback = std::move(timer->second);
        timers_.erase(timer);
        callback();
    }
    // The window is going: its timers and the clipboard listener go with it.
    void WindowGone() {
        timers_.clear();
        clipboard.StopWatching();
    }

    void CloseMainWindow() override { DestroyWindow(window->hwnd_); }
    void EndProgram() override {
        if (window->hwnd_ != nullptr) DestroyWindow(window->hwnd_);
        PostQuitMessage(0);
    }

  private:
    std::filesystem::path noticeFile_;
    std::filesystem::path selectionNoticeFile_;
    bool trayIcon_ = false;
    bool hotKeyTaken_ = false;
    bool hotKeyBalloon_ = false;
    std::deque<std::string> messages_;
    std::map<UINT_PTR, std::function<void()>> timers_;
    UINT_PTR nextTimer_ = 1;
};

frmSplash::frmSplash(std::filesystem::path exeDir, std::filesystem::path hotKeyNoticeFile)
    : frmSplash(std::make_unique<Desktop>(std::move(hotKeyNoticeFile)), std::move(exeDir)) {}

frmSplash::frmSplash(std::unique_ptr<Desktop> desktop, std::filesystem::path exeDir)
    : frmSplashBase(*desktop, std::move(exeDir), std::filesystem::path()),
      desktop_(std::move(desktop)) {
    desktop_->window = this;
    current = this;
}

frmSplash::~frmSplash() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (mnuPopup != nullptr) DestroyMenu(mnuPopup);
    if (current == this) current = nullptr;
}

frmSplash* frmSplash::Current() { return current; }

Platform& frmSplash::AppPlatform() { return *desktop_; }

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
    desktop_->clipboard.SetOwner(hwnd_);
    desktop_->hotKey.SetWindow(hwnd_);
    desktop_->selectionHotKey.SetWindow(hwnd_);

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
        case kShowMessageMessage:
            if (self != nullptr && window == self->hwnd_) self->desktop_->ShowNextMessage();
            return 0;
        case WM_CLIPBOARDUPDATE:
            if (self != nullptr && window == self->hwnd_) {
                self->desktop_->clipboard.ClipboardUpdated();
            }
            return 0;
        case WM_TIMER:
            if (self != nullptr && window == self->hwnd_) self->desktop_->TimerFired(wParam);
            return 0;
        case WM_NCDESTROY:
            if (self != nullptr && window == self->hwnd_) {
                self->desktop_->WindowGone();
                self->hwnd_ = nullptr;
                if (auto closed = std::exchange(self->onClosed_, nullptr)) closed();
            }
            ReleaseAppWindow();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
