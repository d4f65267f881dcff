// The Windows tray program: one user-interface thread and no console. Started with options, it
// drives the program that already runs in the session and ends (modRemote_win32.h); without
// them, it is the tray program, unless one runs already.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "shell/frmSplash_win32.h"
#include "shell/modCommandLine.h"
#include "shell/modRemote_win32.h"
#include "tables/modMessages.h"
#include "windows/modWindows_win32.h"

namespace {

// The command line in UTF-8, as the parser takes it.
std::vector<std::string> Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) arguments.push_back(litvorot::Narrow(wide[i]));
        LocalFree(wide);
    }
    if (arguments.empty()) arguments.emplace_back("litvorot");
    return arguments;
}

void SayError(std::string_view text) {
    litvorot::WriteToConsole(STD_ERROR_HANDLE, "litvorot: " + std::string(text) + "\n");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::vector<std::string> arguments = Arguments();
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    const litvorot::CommandLine commandLine =
        litvorot::ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    if (commandLine.exitStatus) {
        litvorot::WriteToConsole(STD_OUTPUT_HANDLE, commandLine.output);
        litvorot::WriteToConsole(STD_ERROR_HANDLE, commandLine.error);
        return *commandLine.exitStatus;
    }
    if (commandLine.remote.Any())
        return litvorot::SendRemoteCommandWin32(commandLine.remote, SayError);

    // One program per session: the lock is taken before anything shows.
    litvorot::RemoteServerWin32 remote;
    switch (remote.ClaimSession()) {
        case litvorot::RemoteServerWin32::Claim::kOwned:
            break;
        case litvorot::RemoteServerWin32::Claim::kAlreadyRunning:
            SayError("Litvorot already runs in this session; this copy ends");
            return 0;
        case litvorot::RemoteServerWin32::Claim::kNoLock:
            SayError(
                "the session lock could not be made: 'litvorot --go' cannot reach this "
                "program, and another copy can start beside it");
            break;
    }

    // The messages the user must see: a modal box with only OK, titled with the program's name.
    litvorot::SetMessageHook([](std::string_view text) {
        MessageBoxW(nullptr, litvorot::Widen(text).c_str(), L"Litvorot",
                    MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
    });

    frmSplash main(litvorot::ExecutableDirectory(), HotKeyNoticeFileWin32());
    // After Exit the lock goes with the main window, though the Help window may keep the
    // program a while longer.
    main.OnClosed([&remote] { remote.Release(); });
    if (!main.Form_Load()) return 1;
    if (!main.ShuttingDown()) remote.Serve(main);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) litvorot::DispatchAppMessage(message);
    return static_cast<int>(message.wParam);
}
