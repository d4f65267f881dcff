#include "converter/modInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
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

void AdviseHugePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = 2u << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t end = begin + bytes;
    const std::uintptr_t from = (begin + kHuge - 1) & ~(kHuge - 1);
    if (end >= from + kHuge) {
        ::madvise(reinterpret_cast<void*>(from), (end - from) & ~(kHuge - 1), MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)bytes;
#endif
}

void ByteBuffer::Release::operator()(char* memory) const { std::free(memory); }

char* ByteBuffer::Allocate(std::size_t bytes) {
    constexpr std::size_t kPage = 4096;
    auto* const memory = static_cast<char*>(
        std::aligned_alloc(kPage, (std::max<std::size_t>(bytes, 1) + kPage - 1) / kPage * kPage));
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

void ByteBuffer::Reserve(std::size_t bytes) {
    size_ = 0;
    if (capacity_ >= bytes) return;
    data_.reset(Allocate(bytes));
    capacity_ = bytes;
    AdviseHugePages(data_.get(), bytes);
}

char* ByteBuffer::Room(std::size_t bytes) {
    if (capacity_ - size_ < bytes) {
        const std::size_t capacity = std::max(capacity_ * 2, size_ + bytes);
        std::unique_ptr<char, Release> grown(Allocate(capacity));
        AdviseHugePages(grown.get(), capacity);
        std::copy_n(data_.get(), size_, grown.get());
        data_ = std::move(grown);
        capacity_ = capacity;
    }
    return data_.get() + size_;
}

int OpenInput(const std::string& path) {
    return path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_BINARY);
}

void CloseInput(int fd) {
    const int error = errno;
    if (fd != STDIN_FILENO) ::close(fd);
    errno = error;
}

// Reads a whole file ("-" is standard input) in as few reads as its size allows: one read of a
// regular file's size, and one more that sees its end.
bool Input::Load(const std::string& path) {
    buffer_.Clear();
    const int fd = OpenInput(path);
    if (fd < 0) return false;
    struct stat info {};
    constexpr std::size_t kChunk = 1 << 20;
    std::size_t want = kChunk;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        want = static_cast<std::size_t>(info.st_size) + 1;  // +1: the read that sees the end
    }
    bool ok = true;
    for (;;) {
        char* const room = buffer_.Room(want);
        const ssize_t got = ::read(fd, room, want);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        buffer_.Commit(static_cast<std::size_t>(got));
        // The rest of the room first; a larger one only once it is full.
        want = buffer_.Free() > 0 ? buffer_.Free() : kChunk;
    }
    CloseInput(fd);
    return ok;
}

}  // namespace litvorot
