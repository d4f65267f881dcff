// The help window on Windows: shows help.html from beside the executable as text in a read-only
// viewer that fills the resizable window. At most one exists; it is built on first use and
// destroyed when closed.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

class frmHelp {
  public:
    // Creates the window on first use (its load step opens the page), then shows it.
    static HWND Open();
    // The open window, or nullptr.
    static HWND Instance();

    // help.html in the directory of the running executable.
    static std::filesystem::path PagePath();

    // The readable text of an HTML page given in UTF-8: tags dropped, the contents of head,
    // script and style left out, white space collapsed outside pre, line breaks for block
    // elements, character references decoded. Lines end with CR LF, as the viewer needs.
    static std::wstring HtmlToText(std::string_view html);

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static void Form_Load(HWND dialog);
    static void Form_Resize(HWND dialog);
    static void Navigate(HWND dialog, const std::filesystem::path& page);
};
