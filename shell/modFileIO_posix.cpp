#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "shell/modFileIO_platform.h"

namespace litvorot::fileio {
namespace fs = std::filesystem;

namespace {

int WriteAll(int fd, const std::string& content, bool truncate) {
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        written += static_cast<std::size_t>(n);
    }
    if (truncate && ::ftruncate(fd, static_cast<off_t>(content.size())) != 0) return errno;
    if (::fsync(fd) != 0) return errno;
    return 0;
}

}  // namespace

bool HiddenByAttribute(const fs::path&) { return false; }

bool MayCreateIn(const fs::path& directory) {
    return ::access(directory.c_str(), W_OK | X_OK) == 0;
}

bool FileWritable(const fs::path& file) { return ::access(file.c_str(), W_OK) == 0; }

int ReplaceRefused(const fs::path& file) {
    // Renaming over a read-only file would work here; the user's choice is kept instead.
    return ::access(file.c_str(), W_OK) == 0 ? 0 : errno;
}

fs::path FollowLinks(const fs::path& path) {
    fs::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec)) || ec) return current;
        fs::path target = fs::read_symlink(current, ec);
        if (ec) return current;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return {};
}

int WriteNewFile(const fs::path& path, const std::string& content, bool& opened) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    opened = fd >= 0;
    if (!opened) return errno;
    int error = WriteAll(fd, content, false);
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    return error;
}

int RewriteInPlace(const fs::path& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno;
    int error = WriteAll(fd, content, true);
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

}  // namespace litvorot::fileio
