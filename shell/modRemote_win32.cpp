#include "shell/modRemote_win32.h"

#include <sddl.h>

#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

#include "shell/modRemoteAnswer.h"
#include "windows/modWindows_win32.h"

namespace litvorot {

namespace {

constexpr wchar_t kWindowClass[] = L"LitvorotRemote";
constexpr wchar_t kReplyClass[] = L"LitvorotRemoteReply";
// A program still starting (its splash picture) has the lock but no window yet.
constexpr std::chrono::milliseconds kStartingWait{10000};
// A command that opens a message box waits for the user.
constexpr std::chrono::milliseconds kCallTimeout{10 * 60 * 1000};

std::wstring MutexName(const std::wstring& name) { return L"Local\\" + name; }

const NotConverted* AnswerOf(frmSplashBase::Outcome outcome) {
    for (const NotConverted& answer : kNotConverted) {
        if (answer.outcome == outcome) return &answer;
    }
    return nullptr;
}

// The program's side of a conversion's end: the outcome, posted to the caller's window.
frmSplashBase::ConversionDone PostOutcome(HWND reply, std::uint32_t token) {
    return [reply, token](frmSplashBase::Outcome outcome) {
        PostMessageW(reply, kRemoteAnswerMessage, token, static_cast<LPARAM>(outcome));
    };
}

}  // namespace

std::wstring SessionInstanceName() {
    std::wstring name = L"Litvorot";
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return name;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    wchar_t* sid = nullptr;
    if (size >= sizeof(TOKEN_USER) &&
        GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        name += L"-";
        name += sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return name;
}

RemoteServerWin32::RemoteServerWin32(std::wstring name) : name_(std::move(name)) {}

RemoteServerWin32::~RemoteServerWin32() { Release(); }

RemoteServerWin32::Claim RemoteServerWin32::ClaimSession() {
    mutex_ = CreateMutexW(nullptr, FALSE, MutexName(name_).c_str());
    const DWORD error = GetLastError();
    if (mutex_ != nullptr && error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex_);
        mutex_ = nullptr;
        return Claim::kAlreadyRunning;
    }
    // Made by another user's program of the same name: not this user's, whose name differs.
    if (mutex_ == nullptr)
        return error == ERROR_ACCESS_DENIED ? Claim::kAlreadyRunning : Claim::kNoLock;
    return Claim::kOwned;
}

bool RemoteServerWin32::Serve(frmSplashBase& form) {
    if (mutex_ == nullptr) return false;
    form_ = &form;
    // No message filter is opened: a program with fewer rights than this one (when it runs as
    // administrator) cannot drive it, and its caller is told so.
    if (window_ == nullptr)
        window_ = CreateMessageWindow(kWindowClass, &WindowProc, this, name_.c_str());
    return window_ != nullptr;
}

void RemoteServerWin32::Release() {
    form_ = nullptr;
    if (window_ != nullptr) {
        ForgetWindowObject(window_);
        // From inside its own command (Exit), the window goes once the command has returned.
        if (carrying_) {
            PostMessageW(window_, WM_CLOSE, 0, 0);
        } else {
            DestroyWindow(window_);
        }
        window_ = nullptr;
    }
    if (mutex_ != nullptr) CloseHandle(mutex_);
    mutex_ = nullptr;
}

LRESULT CALLBACK RemoteServerWin32::WindowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    auto* self = WindowObject<RemoteServerWin32>(window, message, lParam);
    if (message == WM_COPYDATA && self != nullptr && self->window_ == window) {
        self->carrying_ = true;
        const LRESULT answer = self->Carry(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        self->carrying_ = false;
        return answer;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT RemoteServerWin32::Carry(const COPYDATASTRUCT& data) {
    if (data.dwData != kRemoteMagic || data.cbData != sizeof(RemoteRequest) ||
        data.lpData == nullptr) {
        return 0;
    }
    RemoteRequest request;
    std::memcpy(&request, data.lpData, sizeof(request));
    if (form_ == nullptr) return kRemoteDone + kExitNotConverted;
    const auto format = static_cast<TextFormat>(request.format);
    switch (request.verb) {
        case RemoteRequest::kSetSource:
            if ((format < kKoi8 || format > kUnicode) && format != kAuto) {
                return kRemoteDone + kExitUsage;
            }
            form_->SetSourceFormat(format);
            return kRemoteDone;
        case RemoteRequest::kSetDest:
            if (format < kKoi8 || format > kUnicode) return kRemoteDone + kExitUsage;
            form_->SetDestFormat(format);
            return kRemoteDone;
        case RemoteRequest::kGo:
        case RemoteRequest::kReplaceSelection: {
            const auto reply = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(request.replyWindow));
            // The outcome may be known before this returns (the Windows clipboard answers at
            // once): it is posted all the same, and read after this answer.
            if (request.verb == RemoteRequest::kGo) {
                form_->Convert(PostOutcome(reply, request.token));
            } else {
                form_->ReplaceSelection(PostOutcome(reply, request.token));
            }
            return kRemoteLater;
        }
        case RemoteRequest::kExit: {
            frmSplashBase* form = std::exchange(form_, nullptr);
            form->mnuExit_Click();
            return kRemoteDone;
        }
        default:
            return 0;
    }
}

namespace {

// The caller's side: a message-only window for the answers, and the program that runs.
class RemoteCaller {
  public:
    RemoteCaller(HWND server, const std::function<void(std::string_view)>& say)
        : server_(server), say_(say) {
        DWORD processId = 0;
        GetWindowThreadProcessId(server, &processId);
        process_ = OpenProcess(SYNCHRONIZE, FALSE, processId);
        reply_ = CreateMessageWindow(kReplyClass, &DefWindowProcW);
        // The answer may come from a program with fewer rights, when this one runs as
        // administrator: the system would drop it on the way up.
        if (reply_ != nullptr) {
            ChangeWindowMessageFilterEx(reply_, kRemoteAnswerMessage, MSGFLT_ALLOW, nullptr);
        }
    }
    ~RemoteCaller() {
        if (reply_ != nullptr) DestroyWindow(reply_);
        if (process_ != nullptr) CloseHandle(process_);
    }

    // Carries out one command; 0 when it was done.
    int Call(RemoteRequest request, const char* what) {
        request.replyWindow = reinterpret_cast<ULONG_PTR>(reply_);
        request.token = ++token_;
        COPYDATASTRUCT data{};
        data.dwData = kRemoteMagic;
        data.cbData = sizeof(request);
        data.lpData = &request;
        DWORD_PTR answer = 0;
        SetLastError(ERROR_SUCCESS);
        if (SendMessageTimeoutW(server_, WM_COPYDATA, reinterpret_cast<WPARAM>(reply_),
                                reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                                static_cast<UINT>(kCallTimeout.count()), &answer) == 0) {
            if (GetLastError() == ERROR_ACCESS_DENIED) {
                say_(
                    "the running Litvorot has more rights (it runs as administrator) and takes "
                    "no commands from this one");
            } else {
                say_("Litvorot is not running in this session (it ended)");
            }
            return kExitNotRunning;
        }
        if (answer == kRemoteLater) return Outcome(request.token);
        if (answer >= kRemoteDone && answer < kRemoteLater) {
            const int status = static_cast<int>(answer - kRemoteDone);
            if (status == kExitUsage) say_(std::string("the running Litvorot refused ") + what);
            if (status == kExitNotConverted) say_("Litvorot is ending: nothing was done");
            return status;
        }
        say_(std::string("the running Litvorot did not carry out ") + what);
        return kExitNotRunning;
    }

  private:
    // Waits for the outcome of the command `token`, or for the program's end.
    int Outcome(std::uint32_t token) {
        const auto end = std::chrono::steady_clock::now() + kCallTimeout;
        for (;;) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.hwnd == reply_ && message.message == kRemoteAnswerMessage &&
                    message.wParam == token) {
                    const auto outcome = static_cast<frmSplashBase::Outcome>(message.lParam);
                    if (outcome == frmSplashBase::Outcome::kConverted) return 0;
                    const NotConverted* answer = AnswerOf(outcome);
                    if (answer == nullptr) return kExitNotConverted;
                    say_(answer->message);
                    return answer->status;
                }
                DispatchMessageW(&message);
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                say_("the running Litvorot did not answer");
                return kExitNotRunning;
            }
            const DWORD handles = process_ != nullptr ? 1 : 0;
            const DWORD woken = MsgWaitForMultipleObjects(
                handles, &process_, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
            if (handles == 1 && woken == WAIT_OBJECT_0) {
                say_("Litvorot ended before it had carried out the command");
                return kExitNotRunning;
            }
        }
    }

    HWND server_;
    const std::function<void(std::string_view)>& say_;
    HANDLE process_ = nullptr;
    HWND reply_ = nullptr;
    std::uint32_t token_ = 0;
};

}  // namespace

int SendRemoteCommandWin32(const RemoteCommand& command,
                           const std::function<void(std::string_view)>& say,
                           const std::wstring& name) {
    HANDLE lock = OpenMutexW(SYNCHRONIZE, FALSE, MutexName(name).c_str());
    if (lock == nullptr) {
        say("Litvorot is not running in this session (start it with litvorot.exe)");
        return kExitNotRunning;
    }
    CloseHandle(lock);
    HWND server = nullptr;
    const auto starting = std::chrono::steady_clock::now() + kStartingWait;
    while ((server = FindWindowExW(HWND_MESSAGE, nullptr, kWindowClass, name.c_str())) == nullptr &&
           std::chrono::steady_clock::now() < starting) {
        Sleep(50);
    }
    if (server == nullptr) {
        say("Litvorot runs in this session but takes no commands (it is starting or ending)");
        return kExitNotRunning;
    }
    RemoteCaller caller(server, say);
    struct Step {
        bool asked;
        RemoteRequest request;
        const char* what;
    };
    const Step steps[] = {
        {command.source.has_value(),
         {RemoteRequest::kSetSource, command.source.value_or(0)},
         "the source format"},
        {command.dest.has_value(),
         {RemoteRequest::kSetDest, command.dest.value_or(0)},
         "the destination format"},
        {command.go, {RemoteRequest::kGo}, "--go"},
        {command.replaceSelection, {RemoteRequest::kReplaceSelection}, "--replace-selection"},
        {command.exit, {RemoteRequest::kExit}, "--exit"},
    };
    for (const Step& step : steps) {
        if (!step.asked) continue;
        if (const int status = caller.Call(step.request, step.what); status != 0) return status;
    }
    return 0;
}

void WriteToConsole(DWORD which, std::string_view text) {
    if (text.empty()) return;
    HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        // Started from a console (cmd, PowerShell), a program without one has no standard
        // handles: it writes to that console.
        static const HANDLE console = [] {
            if (!AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
            return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        }();
        handle = console;
        if (handle == INVALID_HANDLE_VALUE) return;
    }
    DWORD written = 0;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Widen(text);
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

}  // namespace litvorot
