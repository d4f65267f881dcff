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

struct dlgStatus::Load {
    TextFormat source;
    TextFormat dest;
    const std::wstring& reading;
};

HWND dlgStatus::Open(TextFormat source, TextFormat dest, const std::wstring& reading,
                     bool activate) {
    const Load load{source, dest, reading};
    return instance.Open(IDD_STATUS, HiddenOwner(), &DialogProc, reinterpret_cast<LPARAM>(&load),
                         activate);
}

void dlgStatus::Form_Load(HWND dialog, const Load& load) {
    if (const std::wstring name = FormatName(load.source); !name.empty()) {
        SetDlgItemTextW(dialog, IDC_LABSOURCE, (L"Source format: " + name).c_str());
    } else if (load.source == kAuto && !load.reading.empty()) {
        const std::wstring text = L"Source format: Auto (" + load.reading + L")";
        SetDlgItemTextW(dialog, IDC_LABSOURCE, text.c_str());
        // A long reading's name widens the dialog so that it stays on one line.
        HWND label = GetDlgItem(dialog, IDC_LABSOURCE);
        HDC dc = GetDC(label);
        HGDIOBJ font =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, font);
        ReleaseDC(label, dc);
        if (size.cx > 153) {
            SetClientSize(dialog, 4 + size.cx + 7, 109);
            PlaceControl(dialog, IDC_LABSOURCE, 4, 44, size.cx, 13);
            CentreOnScreen(dialog);
        }
    }
    if (const std::wstring name = FormatName(load.dest); !name.empty()) {
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
            Form_Load(dialog, *reinterpret_cast<const Load*>(lParam));
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
        default:
            return instance.OtherMessage(dialog, message);
    }
}
