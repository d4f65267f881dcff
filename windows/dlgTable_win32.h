// The transliteration table on Windows: a fixed picture in a small window that stays above all
// ordinary windows. At most one exists; it is built on first use and destroyed when closed.
#pragma once

#include <windows.h>

class dlgTable {
  public:
    // Creates the window on first use (its load step makes it topmost), then shows it.
    static HWND Open();
    // The open window, or nullptr.
    static HWND Instance();

    // Makes `hWindow` topmost (or ordinary again) without moving, sizing or activating it; it is
    // shown if hidden.
    static void StayOnTop(HWND hWindow, bool bTopMost);

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static void Form_Load(HWND dialog);
};
