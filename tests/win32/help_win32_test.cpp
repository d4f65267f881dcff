// The help window: the browser control showing the page, the text view where the control cannot
// be created, and showing the open window again as it was left.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "resources/litvorot_rc.h"
#include "windows/frmHelp_win32.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void Pump(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT) DispatchAppMessage(message);
        }
        Sleep(5);
    } while (GetTickCount64() < end);
}

// A help.html beside the test program for the length of one test.
class HelpWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(frmHelp::PagePath(), std::ios::binary)
            << "<html><head><title>Help</title></head><body><h1>Litvorot</h1>"
               "<p>Press <b>Ctrl+Space</b>.</p></body></html>";
    }
    void TearDown() override {
        if (HWND help = frmHelp::Instance()) SendMessageW(help, WM_CLOSE, 0, 0);
        frmHelp::AllowBrowser(true);
        std::filesystem::remove(frmHelp::PagePath());
    }
};

TEST_F(HelpWindowTest, WithoutTheBrowserControlThePageIsShownAsText) {
    frmHelp::AllowBrowser(false);
    HWND help = frmHelp::Open();
    ASSERT_NE(help, nullptr);
    HWND viewer = GetDlgItem(help, IDC_WEBBROWSER1);
    EXPECT_EQ(frmHelp::Browser(help), nullptr);
    EXPECT_EQ(ClassOf(viewer), L"Edit");
    EXPECT_EQ(TextOf(viewer), L"Litvorot\r\n\r\nPress Ctrl+Space.");
}

// The tests' Wine has no HTML engine (mshtml is turned off), and there the text view is what the
// window shows; the run win32_help_browser provides the engine (not Gecko: no page is drawn) and
// expects the control.
TEST_F(HelpWindowTest, TheBrowserControlShowsThePageWhereItCanBeCreated) {
    const bool expected = std::getenv("LITVOROT_EXPECT_BROWSER") != nullptr;
    ASSERT_EQ(frmHelp::BrowserAvailable(), expected);
    HWND help = frmHelp::Open();
    ASSERT_NE(help, nullptr);
    HWND viewer = GetDlgItem(help, IDC_WEBBROWSER1);
    IWebBrowser2* browser = frmHelp::Browser(help);
    if (!expected) {
        EXPECT_EQ(browser, nullptr);
        EXPECT_EQ(ClassOf(viewer), L"Edit");
        EXPECT_EQ(TextOf(viewer), L"Litvorot\r\n\r\nPress Ctrl+Space.");
        return;
    }
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(ClassOf(viewer), L"AtlAxWin");
    // The control was sent to the page beside the executable.
    std::wstring location;
    for (int i = 0; i < 100 && location.empty(); ++i) {
        Pump(20);
        BSTR url = nullptr;
        if (SUCCEEDED(browser->get_LocationURL(&url)) && url != nullptr) location = url;
        SysFreeString(url);
    }
    browser->Release();
    EXPECT_TRUE(location.ends_with(L"\\tests\\win32\\help.html")) << Narrow(location);

    // It fills the client area as the window changes size.
    for (int show : {SW_MAXIMIZE, SW_RESTORE}) {
        ShowWindow(help, show);
        RECT client{};
        GetClientRect(help, &client);
        RECT outer{};
        GetWindowRect(viewer, &outer);
        EXPECT_EQ(outer.right - outer.left, client.right) << show;
        EXPECT_EQ(outer.bottom - outer.top, client.bottom) << show;
    }
    // Help again: the same control, not a new one.
    EXPECT_EQ(frmHelp::Open(), help);
    EXPECT_EQ(GetDlgItem(help, IDC_WEBBROWSER1), viewer);
}

TEST_F(HelpWindowTest, HelpAgainShowsTheWindowAsItWasLeft) {
    HWND help = frmHelp::Open();
    ASSERT_NE(help, nullptr);
    ShowWindow(help, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(help));
    EXPECT_EQ(frmHelp::Open(), help);
    EXPECT_TRUE(IsZoomed(help));
    EXPECT_TRUE(IsWindowVisible(help));

    // Minimised: back to the maximised size, not the normal one.
    ShowWindow(help, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(help));
    EXPECT_EQ(frmHelp::Open(), help);
    EXPECT_FALSE(IsIconic(help));
    EXPECT_TRUE(IsZoomed(help));

    // A window of normal size keeps its size and place.
    ShowWindow(help, SW_RESTORE);
    SetWindowPos(help, nullptr, 40, 30, 320, 260, SWP_NOZORDER);
    RECT before{};
    GetWindowRect(help, &before);
    EXPECT_EQ(frmHelp::Open(), help);
    RECT after{};
    GetWindowRect(help, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

}  // namespace
