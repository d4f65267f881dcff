#include "converter/modInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef STDIN_FILENO
#define STDIN_FILENO 0
#endif

namespace litvorot {

// Reads a whole file ("-" is standard input) in as few reads as its size allows: one read of a
// regular file's size, and one more that sees its end.
bool Input::Load(const std::string& path) {
    size_ = 0;
    const int fd =
        path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_BINARY);
    if (fd < 0) return false;
    struct stat info {};
    std::size_t chunk = 1 << 20;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        chunk = static_cast<std::size_t>(info.st_size) + 1;  // +1: the read that sees the end
    }
    bool ok = true;
    for (;;) {
        Reserve(chunk);
        const ssize_t got = ::read(fd, data_.get() + size_, capacity_ - size_);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        size_ += static_cast<std::size_t>(got);
    }
    const int error = errno;
    if (fd != STDIN_FILENO) ::close(fd);
    errno = error;
    return ok;
}

void Input::Reserve(std::size_t more) {
    if (capacity_ - size_ >= more) return;
    const std::size_t capacity = std::max(size_ + more, capacity_ * 2);
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
}

}  // namespace litvorot
