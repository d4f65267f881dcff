#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <system_error>

#include "shell/modFileIO_platform.h"

namespace litvorot::fileio {
namespace fs = std::filesystem;

bool HiddenByAttribute(const fs::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ||
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool MayCreateIn(const fs::path& directory) {
    // Windows answers access checks by attributes only; trying is the reliable test.
    const fs::path probe = directory / ".litvorot-write-test";
    std::ofstream out(probe, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.close();
    std::error_code ec;
    fs::remove(probe, ec);
    return true;
}

bool FileWritable(const fs::path& file) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

// Windows refuses to rename over a read-only file by itself.
int ReplaceRefused(const fs::path&) { return 0; }

fs::path FollowLinks(const fs::path& path) {
    // Opening the file follows any link to the file at its end, whose name the system then
    // gives (a link to a missing file, or a loop, cannot be opened and is taken as it is). Not
    // every file system marks its links as reparse points (Wine's do not), so every existing
    // file is asked; for an ordinary one the answer names the same file.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return path;
    HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return path;
    std::wstring name(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= name.size()) {
        name.resize(length + 1);
        length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    CloseHandle(file);
    if (length == 0 || length >= name.size()) return path;
    name.resize(length);
    // "\\?\C:\..." and "\\?\UNC\server\..." back to their ordinary forms.
    if (name.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + name.substr(8);
    if (name.rfind(L"\\\\?\\", 0) == 0) return name.substr(4);
    return name;
}

namespace {

// The errno number closest to a Windows error, for the message that names the reason.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        default:
            return EIO;
    }
}

}  // namespace

int WriteTemporaryFile(const fs::path& target, const std::string& content, fs::path& temporary,
                       bool& opened) {
    // CREATE_NEW refuses any existing name, a link among them: another name is tried.
    static unsigned counter = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = target;
        temporary += L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(GetTickCount() + ++counter) + L".tmp";
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    opened = file != INVALID_HANDLE_VALUE;
    if (!opened) return ErrnoOf(error);
    DWORD written = 0;
    bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written,
                        nullptr) != 0 &&
              written == content.size();
    ok = ok && FlushFileBuffers(file) != 0;
    error = ok ? 0 : GetLastError();
    CloseHandle(file);
    if (!ok) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return error == 0 ? EIO : ErrnoOf(error);
    }
    return 0;
}

void RemoveLeftoverTemporaries(const fs::path& target) {
    const fs::path folder = target.parent_path().empty() ? fs::path(L".") : target.parent_path();
    const std::wstring prefix = target.filename().wstring() + L".";
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::wstring name = it->path().filename().wstring();
        // "<name>.<process>-<count>.tmp", as WriteTemporaryFile makes them.
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, L".tmp") != 0) {
            continue;
        }
        const std::wstring middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (middle.find_first_not_of(L"0123456789-") != std::wstring::npos) continue;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(it->path().c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
                0) {
            continue;
        }
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        const auto ticks = [](const FILETIME& t) {
            return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        };
        const auto written = ticks(data.ftLastWriteTime);
        if (written > ticks(now) || ticks(now) - written < 10000000ull) continue;  // a second
        DeleteFileW(it->path().c_str());
    }
}

int ReplaceWith(const fs::path& temporary, const fs::path& target) {
    if (MoveFileExW(temporary.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        return ErrnoOf(GetLastError());
    }
    return 0;
}

int RewriteInPlace(const fs::path& path, const std::string& content) {
    std::FILE* file = _wfopen(path.c_str(), L"r+b");
    if (file == nullptr) return errno;
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size() &&
              std::fflush(file) == 0;
    int error = errno;
    if (ok) {
        HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
        ok = handle != INVALID_HANDLE_VALUE && SetEndOfFile(handle) != 0;
        if (!ok) error = EIO;
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok ? 0 : (error == 0 ? EIO : error);
}

}  // namespace litvorot::fileio
