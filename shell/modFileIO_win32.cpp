#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
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

int WriteNewFile(const fs::path& path, const std::string& content, bool& opened) {
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    opened = file != nullptr;
    if (!opened) return errno;
    const bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size() &&
                    std::fflush(file) == 0;
    const int error = errno;
    if (std::fclose(file) != 0 || !ok) {
        const int reason = ok ? errno : error;
        std::error_code ignored;
        fs::remove(path, ignored);
        return reason == 0 ? EIO : reason;
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
