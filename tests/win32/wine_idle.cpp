// Keeps the tests' Wine session alive between tests; ended by wineserver -k. It touches the
// desktop window first, so that Wine's desktop process (which also hosts the tray) starts here,
// with this process's harmless output, and not inside a test whose output CTest waits for.
#include <windows.h>

int main() {
    GetDesktopWindow();
    HWND window = CreateWindowExW(0, L"STATIC", L"idle", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    // Tells wine-env.sh that the desktop process is up.
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &written, nullptr);
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
    }
    DestroyWindow(window);
    return 0;
}
