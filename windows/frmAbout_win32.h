// The About box on Windows: product name and version. At most one exists; OK, Enter, Escape and
// the title-bar close button destroy it.
#pragma once

#include <windows.h>

class frmAbout {
  public:
    // Creates the box on first use, then shows it.
    static HWND Open();
    // The open box, or nullptr.
    static HWND Instance();

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static void cmdOK_Click(HWND dialog);
};
