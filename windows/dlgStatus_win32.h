// The status dialog on Windows: announces a finished conversion with the two formats it used. At
// most one exists; it is built on first use, destroyed when closed, and outlives the main window.
#pragma once

#include <windows.h>

#include <string>

#include "tables/modTables.h"

class dlgStatus {
  public:
    // Creates the dialog on first use (its load step names the formats), then shows it. A dialog
    // that is already open keeps the formats it was opened with.
    // `reading` names the reading the automatic source (5) used: "Source format: Auto (UTF-8
    // read as CP 1251)"; without it a 5 is a code like any other outside 1..4. Without
    // `activate` the dialog does not take the keyboard (after a selection was replaced, the
    // window that holds it keeps it).
    static HWND Open(litvorot::TextFormat source, litvorot::TextFormat dest,
                     const std::wstring& reading = {}, bool activate = true);
    // The open dialog, or nullptr.
    static HWND Instance();

    // "KOI8", "CP 1251", "Transliteration", "Unicode"; empty for a code outside 1..4.
    static std::wstring FormatName(litvorot::TextFormat format);

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    struct Load;
    static void Form_Load(HWND dialog, const Load& load);
    static void cmdClose_Click(HWND dialog);
};
