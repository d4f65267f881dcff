#include "windows/dlgTable_win32.h"

#include "resources/litvorot_rc.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {
// The table holds only a picture: no dialog keys.
SingleDialog instance{SingleDialog::kNoDialogKeys};
}  // namespace

HWND dlgTable::Instance() { return instance.Get(); }

HWND dlgTable::Open() { return instance.Open(IDD_TABLE, HiddenOwner(), &DialogProc); }

void dlgTable::StayOnTop(HWND hWindow, bool bTopMost) {
    SetWindowPos(hWindow, bTopMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void dlgTable::Form_Load(HWND dialog) { StayOnTop(dialog, true); }

INT_PTR CALLBACK dlgTable::DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            instance.Created(dialog);
            SetClientSize(dialog, 188, 263);
            PlaceControl(dialog, IDC_IMGTABLE, 0, 0, 187, 263);
            CentreOnScreen(dialog);
            Form_Load(dialog);
            return TRUE;
        case WM_COMMAND:  // Enter and Escape do nothing; only the title bar closes the window
            return TRUE;
        default:
            return instance.OtherMessage(dialog, message);
    }
}
