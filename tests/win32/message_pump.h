// The tests' stand-in for the program's message loop.
#pragma once

#include <windows.h>

namespace litvorot::test {

// Dispatches the messages that arrive for `milliseconds` (those waiting, for 0); a WM_QUIT is
// taken and dropped.
inline void PumpFor(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT) DispatchMessageW(&message);
        }
        Sleep(5);
    } while (GetTickCount64() < end);
}

}  // namespace litvorot::test
