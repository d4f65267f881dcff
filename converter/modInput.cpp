#include "converter/modInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/mman.h>
#include <unistd.h>

#include <csetjmp>
#include <csignal>
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

#ifndef _WIN32
namespace {

// The mapping being read and where to go back to when one of its pages cannot be.
struct BusGuard {
    const char* begin;
    const char* end;
    sigjmp_buf back;
};
thread_local BusGuard* tGuard = nullptr;
struct sigaction gPreviousBus {};

void OnBus(int signal, siginfo_t* info, void* context) {
    BusGuard* const guard = tGuard;
    const auto* const at = static_cast<const char*>(info->si_addr);
    if (guard != nullptr && info->si_code > 0 && at >= guard->begin && at < guard->end) {
        siglongjmp(guard->back, 1);
    }
    // Not a page of the mapping: what would have happened without this handler happens. A
    // fault comes again when the instruction is retried; a signal sent is sent again.
    ::sigaction(SIGBUS, &gPreviousBus, nullptr);
    if (info->si_code <= 0) ::raise(signal);
    (void)context;
}

}  // namespace
#endif

bool MappedFile::Map(int fd, long long offset, std::size_t size) {
    Unmap();
#if defined(_WIN32)
    (void)fd;
    (void)offset;
    (void)size;
    return false;
#else
    if (size == 0 || offset < 0) return false;
    const auto page = static_cast<long long>(::sysconf(_SC_PAGESIZE));
    if (page <= 0) return false;
    const long long start = offset / page * page;
    const std::size_t skip = static_cast<std::size_t>(offset - start);
    // Not populated ahead: the pages mapped as they are first read cost no more, measured.
    void* const base =
        ::mmap(nullptr, skip + size, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(start));
    if (base == MAP_FAILED) return false;
    base_ = base;
    length_ = skip + size;
    data_ = static_cast<const char*>(base) + skip;
    size_ = size;
    return true;
#endif
}

void MappedFile::Unmap() {
#ifndef _WIN32
    if (base_ != nullptr) ::munmap(base_, length_);
#endif
    base_ = nullptr;
    length_ = 0;
    data_ = nullptr;
    size_ = 0;
}

void MappedFile::AdviseSequential() const {
#if !defined(_WIN32) && defined(MADV_SEQUENTIAL)
    if (base_ != nullptr) ::madvise(base_, length_, MADV_SEQUENTIAL);
#endif
}

bool MappedFile::Read(void (*read)(void* context), void* context) const {
#ifdef _WIN32
    read(context);
    return true;
#else
    BusGuard guard{static_cast<const char*>(base_), static_cast<const char*>(base_) + length_, {}};
    struct sigaction action {};
    action.sa_sigaction = OnBus;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    if (::sigaction(SIGBUS, &action, &previous) != 0) return false;
    gPreviousBus = previous;
    BusGuard* const outer = tGuard;
    tGuard = &guard;
    bool whole = true;
    if (sigsetjmp(guard.back, 1) == 0) {
        read(context);
    } else {
        whole = false;
    }
    tGuard = outer;
    ::sigaction(SIGBUS, &previous, nullptr);
    return whole;
#endif
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
