#include "shell/modRestoreToken.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <system_error>

namespace litvorot {

namespace {

constexpr std::size_t kMaxTokenLength = 256;

bool IsToken(std::string_view text) {
    return !text.empty() && text.size() <= kMaxTokenLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

}  // namespace

std::string ReadRestoreToken(const std::filesystem::path& file) {
    if (file.empty()) return {};
    std::ifstream in(file, std::ios::binary);
    // Beyond the longest token and its line break: a longer file is no token.
    std::string text(kMaxTokenLength + 2, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return IsToken(text) ? text : std::string();
}

bool WriteRestoreToken(const std::filesystem::path& file, std::string_view token) {
    if (file.empty()) return false;
    std::error_code ec;
    if (token.empty()) {
        std::filesystem::remove(file, ec);
        return !ec;
    }
    if (!IsToken(token)) return false;
    std::filesystem::create_directories(file.parent_path(), ec);
    // Written beside the file under a name of its own, made exclusively with the user's rights
    // alone (a token lets a program type into every window), then renamed over it.
    const std::filesystem::path temporary = file.string() + ".new";
    std::filesystem::remove(temporary, ec);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string line = std::string(token) + '\n';
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const bool whole = written == line.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!whole || ::rename(temporary.c_str(), file.c_str()) != 0) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace litvorot
