#include <windows.h>

#include "shell/modMiscRoutines.h"
#include "windows/modWindows_win32.h"

namespace litvorot {

void Pause(int seconds) {
    if (seconds <= 0) return;
    // A monotonic clock: neither midnight nor a change of the system time matters.
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop
                return;
            }
            DispatchAppMessage(message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

}  // namespace litvorot
