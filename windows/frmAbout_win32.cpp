#include "windows/frmAbout_win32.h"

#include "resources/litvorot_rc.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {
SingleDialog instance;
}  // namespace

HWND frmAbout::Instance() { return instance.Get(); }

HWND frmAbout::Open() { return instance.Open(IDD_ABOUT, HiddenOwner(), &DialogProc); }

void frmAbout::cmdOK_Click(HWND dialog) { DestroyWindow(dialog); }

INT_PTR CALLBACK frmAbout::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            instance.Created(dialog);
            SetClientSize(dialog, 272, 126);
            PlaceControl(dialog, IDOK, 180, 96, 84, 23);
            PlaceControl(dialog, IDC_LBLTITLE, 8, 8, 259, 15);
            PlaceControl(dialog, IDC_LBLVERSION, 8, 68, 53, 13);
            CentreOnScreen(dialog);
            return TRUE;
        case WM_PAINT:  // Line1: 1 pixel, mid grey
            PaintLine(dialog, RGB(128, 128, 128), {8, 88}, {265, 88});
            return TRUE;
        case WM_COMMAND:
            // OK is both the default and the cancel button: Enter and Escape press it.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) cmdOK_Click(dialog);
            return TRUE;
        case WM_CLOSE:
            cmdOK_Click(dialog);
            return TRUE;
        default:
            return instance.OtherMessage(dialog, message);
    }
}
