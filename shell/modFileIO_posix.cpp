#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
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

int WriteTemporaryFile(const fs::path& target, const std::string& content, fs::path& temporary,
                       bool& opened) {
    // mkostemp opens with O_CREAT | O_EXCL: an existing name, a link among them, is refused and
    // another one tried.
    std::string name = target.string() + ".XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    opened = fd >= 0;
    if (!opened) return errno;
    temporary = name;
    // mkostemp makes the file for its owner alone; a new settings file gets what the user's
    // umask gives any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    int error = ::fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
    if (error == 0) error = WriteAll(fd, content, false);
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    }
    return error;
}

void RemoveLeftoverTemporaries(const fs::path& target) {
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const std::string prefix = target.filename().string() + ".";
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // mkostemp's six letters and digits.
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool generated = true;
        for (std::size_t i = prefix.size(); i < name.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(name[i]);
            generated = generated && (std::isalnum(c) != 0);
        }
        struct stat info = {};
        if (!generated || ::lstat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid() || ::time(nullptr) - info.st_mtime < 1) {
            continue;
        }
        ::unlink(it->path().c_str());
    }
}

int ReplaceWith(const fs::path& temporary, const fs::path& target) {
    if (::rename(temporary.c_str(), target.c_str()) != 0) return errno;
    // The rename itself is on the disk only once its folder is.
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return 0;  // renamed all the same; nothing more can be done
    ::fsync(dir);
    ::close(dir);
    return 0;
}

int RewriteInPlace(const fs::path& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno;
    int error = WriteAll(fd, content, true);
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

}  // namespace litvorot::fileio
