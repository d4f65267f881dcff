#include "windows/dlgTable_win32.h"

#include "resources/litvorot_rc.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {
HWND instance = nullptr;
}  // namespace

HWND dlgTable::Instance() { return instance; }

HWND dlgTable::Open() {
    if (instance == nullptr) {
        CreateDialogParamW(AppInstance(), MAKEINTRESOURCEW(IDD_TABLE), HiddenOwner(), &DialogProc,
                           0);
    }
    if (instance != nullptr) {
        ShowWindow(instance, SW_SHOWNORMAL);
        SetForegroundWindow(instance);
    }
    return instance;
}

void dlgTable::StayOnTop(HWND hWindow, bool bTopMost) {
    SetWindowPos(hWindow, bTopMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void dlgTable::Form_Load(HWND dialog) { StayOnTop(dialog, true); }

INT_PTR CALLBACK dlgTable::DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            instance = dialog;
            AddAppWindow();
            SetWindowIcons(dialog);
            SetClientSize(dialog, 188, 263);
            PlaceControl(dialog, IDC_IMGTABLE, 0, 0, 187, 263);
            CentreOnScreen(dialog);
            Form_Load(dialog);
            return TRUE;
        case WM_COMMAND:  // Enter and Escape do nothing; only the title bar closes the window
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(dialog);
            return TRUE;
        case WM_NCDESTROY:
            instance = nullptr;
            ReleaseAppWindow();
            return FALSE;
        default:
            return FALSE;
    }
}
