// The help window on Windows: shows help.html from beside the executable in the system's
// web-browser control, which fills the resizable window. Where that control cannot be created (no
// HTML engine, as under Wine without its Gecko package), the page's text is shown in a read-only
// text view instead. At most one window exists; it is built on first use and destroyed when
// closed.
#pragma once

#include <exdisp.h>
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

    // Whether a new window may use the browser control (it may unless turned off); the text view
    // is used otherwise.
    static void AllowBrowser(bool allow);
    // Whether the browser control can be created here: atl.dll hosts it and the HTML engine is
    // installed.
    static bool BrowserAvailable();
    // The browser control of an open help window, or nullptr when it shows the text view; the
    // caller releases it.
    static IWebBrowser2* Browser(HWND dialog);

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
