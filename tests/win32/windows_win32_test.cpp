// The secondary windows: texts, sizes, one window at a time, and how each one closes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "resources/litvorot_rc.h"
#include "windows/dlgStatus_win32.h"
#include "windows/dlgTable_win32.h"
#include "windows/frmAbout_win32.h"
#include "windows/frmHelp_win32.h"
#include "windows/modWindows_win32.h"

using namespace litvorot;

namespace {

std::wstring Text(HWND window) {
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

std::wstring ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

SIZE ClientSize(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return {rect.right, rect.bottom};
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) DispatchAppMessage(message);
    }
}

TEST(WindowsWin32Test, StatusDialogNamesTheFormatsOfTheConversionThatOpenedIt) {
    HWND dialog = dlgStatus::Open(3, 4);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Text(dialog), L"Litvorot");
    EXPECT_EQ(ItemText(dialog, IDC_LABSTATUS), L"Conversion complete:");
    EXPECT_EQ(ItemText(dialog, IDC_LABSOURCE), L"Source format: Transliteration");
    EXPECT_EQ(ItemText(dialog, IDC_LABDEST), L"Destination format: Unicode");
    EXPECT_EQ(ItemText(dialog, IDC_CMDCLOSE), L"Close");
    EXPECT_EQ(ClientSize(dialog).cx, 164);
    EXPECT_EQ(ClientSize(dialog).cy, 109);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), HiddenOwner());  // no taskbar button

    // Open again: the same dialog, its labels unchanged.
    EXPECT_EQ(dlgStatus::Open(2, 2), dialog);
    EXPECT_EQ(ItemText(dialog, IDC_LABSOURCE), L"Source format: Transliteration");

    // Escape and Enter do nothing; Close destroys it.
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindow(dialog));
    SendDlgItemMessageW(dialog, IDC_CMDCLOSE, BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(dlgStatus::Instance(), nullptr);

    // A fresh dialog with the current formats; a code outside 1..4 keeps the design text.
    dialog = dlgStatus::Open(2, 0);
    EXPECT_EQ(ItemText(dialog, IDC_LABSOURCE), L"Source format: CP 1251");
    EXPECT_EQ(ItemText(dialog, IDC_LABDEST), L"Destination format:");
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST(WindowsWin32Test, TableWindowIsTopmostAndSingle) {
    HWND table = dlgTable::Open();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Text(table), L"Transliteration Table");
    EXPECT_EQ(ClientSize(table).cx, 188);
    EXPECT_EQ(ClientSize(table).cy, 263);
    EXPECT_TRUE(GetWindowLongPtrW(table, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindowVisible(table));
    EXPECT_EQ(dlgTable::Open(), table);
    // The picture: the table bitmap at its natural size.
    BITMAP picture{};
    auto bitmap = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageW(table, IDC_IMGTABLE, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(bitmap, nullptr);
    GetObjectW(bitmap, sizeof(picture), &picture);
    EXPECT_EQ(picture.bmWidth, 187);
    EXPECT_EQ(picture.bmHeight, 263);
    SendMessageW(table, WM_CLOSE, 0, 0);
    EXPECT_EQ(dlgTable::Instance(), nullptr);
}

TEST(WindowsWin32Test, AboutBoxClosesWithEscapeOrEnter) {
    for (WPARAM key : {IDCANCEL, IDOK}) {
        HWND about = frmAbout::Open();
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(Text(about), L"About Litvorot");
        EXPECT_EQ(ItemText(about, IDC_LBLTITLE), L"Litvorot Transliteration Software");
        EXPECT_EQ(ItemText(about, IDC_LBLVERSION), L"Version 1.5");
        EXPECT_EQ(ClientSize(about).cx, 272);
        EXPECT_EQ(ClientSize(about).cy, 126);
        EXPECT_EQ(frmAbout::Open(), about);
        SendMessageW(about, WM_COMMAND, key, 0);
        EXPECT_FALSE(IsWindow(about));
    }
}

TEST(WindowsWin32Test, HelpWindowShowsThePageAndFollowsItsSize) {
    HWND help = frmHelp::Open();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(Text(help), L"Help on Litvorot");
    EXPECT_EQ(GetWindow(help, GW_OWNER), nullptr);  // its own taskbar button
    HWND viewer = GetDlgItem(help, IDC_WEBBROWSER1);
    // No help.html beside the test program: the viewer says which page it could not show.
    const int length = GetWindowTextLengthW(viewer);
    std::wstring shown(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(viewer, shown.data(), length + 1);
    EXPECT_NE(shown.find(L"help.html"), std::wstring::npos);

    SetWindowPos(help, nullptr, 0, 0, 300, 250, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(help, SW_MAXIMIZE);
    ShowWindow(help, SW_RESTORE);
    const SIZE client = ClientSize(help);
    const SIZE inner = ClientSize(viewer);
    RECT outer{};
    GetWindowRect(viewer, &outer);
    EXPECT_EQ(outer.right - outer.left, client.cx);
    EXPECT_EQ(outer.bottom - outer.top, client.cy);
    EXPECT_GT(inner.cx, 0);
    EXPECT_EQ(frmHelp::Open(), help);
    SendMessageW(help, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(help));
}

TEST(WindowsWin32Test, TheLastWindowClosedEndsTheProgram) {
    const int before = AppWindowCount();
    HWND about = frmAbout::Open();
    HWND table = dlgTable::Open();
    EXPECT_EQ(AppWindowCount(), before + 2);
    DestroyWindow(about);
    DestroyWindow(table);
    EXPECT_EQ(AppWindowCount(), before);
    if (before == 0) {
        MSG message;
        EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    }
}

TEST(HelpPageTest, HtmlBecomesReadableText) {
    EXPECT_EQ(frmHelp::HtmlToText("<html><head><title>T</title><style>p{}</style></head>"
                                  "<body><h1>Litvorot</h1><p>Copy   text,\n press\n"
                                  "<b>Ctrl+Space</b>.</p><ul><li>one</li><li>two</li></ul>"
                                  "</body></html>"),
              L"Litvorot\r\n\r\nCopy text, press Ctrl+Space.\r\n\r\n\x2022 one\r\n\x2022 two");
    EXPECT_EQ(frmHelp::HtmlToText("a<br>b<pre>x  y\nz</pre>c"),
              L"a\r\nb\r\n\r\nx  y\r\nz\r\n\r\nc");
    EXPECT_EQ(frmHelp::HtmlToText("&lt;*&gt; &amp; &#1046; &#x416; &quot;&nbsp;&bogus; & x"),
              L"<*> & \x0416 \x0416 \"\xA0&bogus; & x");
    EXPECT_EQ(frmHelp::HtmlToText("\xD0\xB0\xD0\xB1<!-- <p>hidden</p> -->\xE2\x80\x94"),
              L"\x0430\x0431\x2014");
    EXPECT_EQ(frmHelp::HtmlToText("<script>if (a < b) x();</script>ok"), L"ok");
}

TEST(HelpPageTest, BrokenInputNeverBreaksTheViewer) {
    EXPECT_EQ(frmHelp::HtmlToText(""), L"");
    EXPECT_EQ(frmHelp::HtmlToText("a\xFF\xC3"), L"a\xFFFD\xFFFD");
    EXPECT_EQ(frmHelp::HtmlToText("text <unclosed tag"), L"text");
    EXPECT_EQ(frmHelp::HtmlToText("&#xFFFFFFFFFF; &#0; &#xD800;"), L"&#xFFFFFFFFFF; \xFFFD \xFFFD");
    EXPECT_EQ(frmHelp::HtmlToText("\xF0\x9F\x98\x80"), L"\xD83D\xDE00");
}

// Malformed UTF-8 is replaced, one U+FFFD for each maximal ill-formed part, never read as a
// character: an overlong '/' or '<' and '>' (which once made a tag of "x<p>y"), a surrogate, a
// character cut short; and a NUL, which would end the window's text, is replaced too.
TEST(HelpPageTest, MalformedUtf8IsReplacedNotRead) {
    EXPECT_EQ(frmHelp::HtmlToText("x\xC0\xAFy"), L"x\uFFFD\uFFFDy");
    EXPECT_EQ(frmHelp::HtmlToText("x\xC0\xBCp\xC0\xBEy"), L"x\uFFFD\uFFFDp\uFFFD\uFFFDy");
    EXPECT_EQ(frmHelp::HtmlToText("\xED\xA0\x80z"), L"\uFFFD\uFFFD\uFFFDz");
    EXPECT_EQ(frmHelp::HtmlToText("\xE2\x80z"), L"\uFFFDz");
    EXPECT_EQ(frmHelp::HtmlToText(std::string_view("x\0y", 3)), L"x\uFFFDy");
}

}  // namespace
