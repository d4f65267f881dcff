#include "windows/dlgStatus_win32.h"

#include <utility>

#include "resources/litvorot_rc.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {
SingleDialog instance;
}  // namespace

HWND dlgStatus::Instance() { return instance.Get(); }

std::wstring dlgStatus::FormatName(TextFormat format) {
    switch (format) {
        case kKoi8:
            return L"KOI8";
        case kCp1251:
            return L"CP 1251";
        case kTranslit:
            return L"Transliteration";
        case kUnicode:
            return L"Unicode";
        default:
            return {};
    }
}

HWND dlgStatus::Open(TextFormat source, TextFormat dest) {
    std::pair<TextFormat, TextFormat> formats{source, dest};
    return instance.Open(IDD_STATUS, HiddenOwner(), &DialogProc,
                         reinterpret_cast<LPARAM>(&formats));
}

void dlgStatus::Form_Load(HWND dialog, TextFormat source, TextFormat dest) {
    if (const std::wstring name = FormatName(source); !name.empty()) {
        SetDlgItemTextW(dialog, IDC_LABSOURCE, (L"Source format: " + name).c_str());
    }
    if (const std::wstring name = FormatName(dest); !name.empty()) {
        SetDlgItemTextW(dialog, IDC_LABDEST, (L"Destination format: " + name).c_str());
    }
}

void dlgStatus::cmdClose_Click(HWND dialog) { DestroyWindow(dialog); }

INT_PTR CALLBACK dlgStatus::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            instance.Created(dialog);
            SetClientSize(dialog, 164, 109);
            PlaceControl(dialog, IDC_LABSTATUS, 4, 12, 149, 13);
            PlaceControl(dialog, IDC_LABSOURCE, 4, 44, 153, 13);
            PlaceControl(dialog, IDC_LABDEST, 4, 60, 153, 13);
            PlaceControl(dialog, IDC_CMDCLOSE, 12, 80, 137, 21);
            CentreOnScreen(dialog);
            const auto* formats =
                reinterpret_cast<const std::pair<TextFormat, TextFormat>*>(lParam);
            Form_Load(dialog, formats->first, formats->second);
            return TRUE;
        }
        case WM_PAINT:  // Line1: 1 pixel in the window-text colour
            PaintLine(dialog, GetSysColor(COLOR_WINDOWTEXT), {4, 32}, {157, 32});
            return TRUE;
        case WM_COMMAND:
            // Close is neither the default nor the cancel button: Enter and Escape do nothing.
            if (LOWORD(wParam) == IDC_CMDCLOSE) cmdClose_Click(dialog);
            return TRUE;
        case WM_CLOSE:
            cmdClose_Click(dialog);
            return TRUE;
        case WM_NCDESTROY:
            instance.Destroyed();
            return FALSE;
        default:
            return FALSE;
    }
}
