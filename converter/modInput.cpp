#include "converter/modInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cerrno>

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

namespace {

// Reads a whole file ("-" is standard input) in as few reads as its size allows. Returns false
// with errno set on failure.
bool ReadAll(const std::string& path, std::string& data) {
    const int fd =
        path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_BINARY);
    if (fd < 0) return false;
    struct stat info {};
    std::size_t chunk = 1 << 20;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        chunk = static_cast<std::size_t>(info.st_size) + 1;  // +1: the read that sees the end
    }
    data.clear();
    bool ok = true;
    std::size_t used = 0;
    for (;;) {
        if (data.size() - used < chunk) data.resize(used + chunk);
        const ssize_t got = ::read(fd, data.data() + used, data.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    const int error = errno;
    data.resize(used);
    if (fd != STDIN_FILENO) ::close(fd);
    errno = error;
    return ok;
}

}  // namespace

Input::~Input() { Unmap(); }

bool Input::Load(const std::string& path) {
    Unmap();
#ifndef _WIN32
    if (path != "-") {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            const auto size = static_cast<std::size_t>(info.st_size);
            void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
            ::close(fd);
            if (map == MAP_FAILED) return false;
            map_ = map;
            mapSize_ = size;
            return true;
        }
        ::close(fd);
    }
#endif
    return ReadAll(path, buffer_);
}

std::string_view Input::Bytes() const {
    if (map_ != nullptr) return {static_cast<const char*>(map_), mapSize_};
    return buffer_;
}

void Input::Unmap() {
#ifndef _WIN32
    if (map_ != nullptr) ::munmap(map_, mapSize_);
#endif
    map_ = nullptr;
    mapSize_ = 0;
}

}  // namespace litvorot
