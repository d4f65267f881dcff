// What the Windows program's windows share: the count of open windows (the program ends when the
// last one closes), the hidden owner that keeps dialogs out of the taskbar, the modeless dialogs'
// keyboard handling, the one-of-a-kind dialogs' lifetime, and pixel layout at 96 dots per inch.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace litvorot {

// The module that holds the resources (the executable).
HINSTANCE AppInstance();

// A window of the program was created / destroyed. When the count drops to zero the message loop
// is told to quit.
void AddAppWindow();
void ReleaseAppWindow();
int AppWindowCount();

// A never-shown window that owns the program's dialogs: owned windows have no taskbar button, and
// this owner lives until the process ends, so the dialogs outlive the main window.
HWND HiddenOwner();

// Modeless dialogs get Tab, Enter and Escape through IsAppDialogMessage in the message loop.
void AddModelessDialog(HWND dialog);
void RemoveModelessDialog(HWND dialog);
bool IsAppDialogMessage(MSG& message);

// Dispatches one message the way the program's message loop does.
void DispatchAppMessage(MSG& message);

// A dialog the program keeps at most one of. Its dialog procedure calls Created on WM_INITDIALOG
// and Destroyed on WM_NCDESTROY; in between the dialog is the open one, counts as one of the
// program's windows, wears the program icon and, unless made with kNoDialogKeys, gets Tab, Enter
// and Escape from the message loop.
class SingleDialog {
  public:
    enum Keys { kDialogKeys, kNoDialogKeys };
    constexpr explicit SingleDialog(Keys keys = kDialogKeys) : keys_(keys) {}

    // The open dialog, or nullptr.
    HWND Get() const { return dialog_; }
    // Creates the dialog from resource `id` unless it is open, then shows it (an open one as it
    // was left, a minimised one restored) and brings it to the front, or, without `activate`,
    // leaves the keyboard where it is. Returns the open dialog, or nullptr when it could not be
    // created.
    HWND Open(int id, HWND owner, DLGPROC proc, LPARAM param = 0, bool activate = true);
    void Created(HWND dialog);
    void Destroyed();
    // What every one of these dialogs does with the messages its procedure leaves: WM_CLOSE
    // destroys it, WM_NCDESTROY ends it (Destroyed), the rest go to the dialog manager.
    INT_PTR OtherMessage(HWND dialog, UINT message);

  private:
    HWND dialog_ = nullptr;
    Keys keys_;
};

// Layout in pixels: the client area's size, a control's rectangle, centring on the work area.
void SetClientSize(HWND window, int width, int height);
void PlaceControl(HWND dialog, int id, int left, int top, int width, int height);
void CentreOnScreen(HWND window);

// Handles WM_PAINT for a dialog whose only drawing is a one-pixel line from `from` to `to`.
void PaintLine(HWND window, COLORREF colour, POINT from, POINT to);

// The program icon in `size` x `size` pixels (16 or 32), shared and never destroyed.
HICON ProgramIcon(int size);
void SetWindowIcons(HWND window);

// A message-only window (never shown, never in front) of the class `className`, registered on
// first use with `procedure`, made for `self`.
HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, void* self = nullptr,
                         const wchar_t* title = L"");
// In a window's procedure: the object it was made for (CreateWindowEx's last argument), kept
// from WM_NCCREATE on; nullptr before, and after ForgetWindowObject.
template <typename T>
T* WindowObject(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}
inline void ForgetWindowObject(HWND window) { SetWindowLongPtrW(window, GWLP_USERDATA, 0); }

// The directory of the running executable.
std::filesystem::path ExecutableDirectory();

// UTF-8 (the core's messages, paths) to UTF-16 for the wide Win32 calls, and back.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view text);

}  // namespace litvorot
