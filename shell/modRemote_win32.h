// One program per session on Windows, and the command line of later starts carried out by the one
// that runs: a named mutex in the session's namespace is the lock, and a message-only window of
// the same name takes the commands as WM_COPYDATA. A command that converts is answered when the
// conversion has ended, by a message posted back to a window of the caller's.
//
// litvorot.exe is a program without a console: what its command line prints goes to the console
// it was started from, or to where its output was sent.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "shell/frmSplashBase.h"
#include "shell/modCommandLine.h"

namespace litvorot {

// "Litvorot-" and the user's security identifier: the lock's name (in the session's namespace,
// Local\) and the window's. Two users in one session each run their own.
std::wstring SessionInstanceName();

// The commands, one WM_COPYDATA each, in the order the command line carries them out.
inline constexpr ULONG_PTR kRemoteMagic = 0x4C56524D;  // "LVRM"
struct RemoteRequest {
    enum Verb : std::uint32_t { kSetSource = 1, kSetDest, kGo, kReplaceSelection, kExit };
    std::uint32_t verb = 0;
    std::int32_t format = 0;        // kSetSource, kSetDest
    std::uint64_t replyWindow = 0;  // kGo, kReplaceSelection: where the outcome is posted
    std::uint32_t token = 0;        // posted back with it
    std::uint32_t reserved = 0;
};
// The window's answer to WM_COPYDATA: the command's status now, or that its outcome follows as
// kRemoteAnswerMessage (wParam the token, lParam the frmSplashBase::Outcome).
inline constexpr LRESULT kRemoteDone = 0x100;  // + the exit status
inline constexpr LRESULT kRemoteLater = 0x200;
inline constexpr UINT kRemoteAnswerMessage = WM_APP + 0x52;

// The running program's side.
class RemoteServerWin32 {
  public:
    enum class Claim {
        kOwned,
        kAlreadyRunning,
        kNoLock,  // the lock could not be made: neither it nor the command line is there
    };

    explicit RemoteServerWin32(std::wstring name = SessionInstanceName());
    ~RemoteServerWin32();
    RemoteServerWin32(const RemoteServerWin32&) = delete;
    RemoteServerWin32& operator=(const RemoteServerWin32&) = delete;

    // Takes the lock.
    Claim ClaimSession();
    // From now on the commands go to `form`: the window is made. Until then a caller waits.
    bool Serve(frmSplashBase& form);
    // Gives the lock back and takes no more commands (after Exit, so that a new start is not
    // turned away while a window of this program is still open).
    void Release();

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Carry(const COPYDATASTRUCT& data);

    std::wstring name_;
    HANDLE mutex_ = nullptr;
    HWND window_ = nullptr;
    frmSplashBase* form_ = nullptr;
    bool carrying_ = false;
};

// Sends `command` to the program that runs in this session (the lock and window `name`) and waits
// until it has been carried out. Returns the exit status (modCommandLine.h); each message for the
// user goes to `say`.
int SendRemoteCommandWin32(const RemoteCommand& command,
                           const std::function<void(std::string_view)>& say,
                           const std::wstring& name = SessionInstanceName());

// Writes `text` (UTF-8) to the standard output or error (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE):
// where it was sent, or else the console of the program that started this one.
void WriteToConsole(DWORD which, std::string_view text);

}  // namespace litvorot
