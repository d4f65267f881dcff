// The Windows tray program: no console, one user-interface thread, no command-line options.
#include <windows.h>

#include "shell/frmSplash_win32.h"
#include "tables/modMessages.h"
#include "windows/modWindows_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The messages the user must see: a modal box with only OK, titled with the program's name.
    litvorot::SetMessageHook([](std::string_view text) {
        MessageBoxW(nullptr, litvorot::Widen(text).c_str(), L"Litvorot",
                    MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
    });

    frmSplash main(litvorot::ExecutableDirectory(), HotKeyNoticeFileWin32());
    if (!main.Form_Load()) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) litvorot::DispatchAppMessage(message);
    return static_cast<int>(message.wParam);
}
