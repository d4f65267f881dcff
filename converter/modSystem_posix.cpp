// The converter's calls to the operating system on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdlib>

#if defined(__x86_64__) && __has_include(<sys/platform/x86.h>)
// The C library's header is written for C; clang takes its _Bool in C++ for no type.
#ifdef __clang__
#define _Bool bool
#endif
#include <sys/platform/x86.h>
#ifdef __clang__
#undef _Bool
#endif
#endif

#include "converter/modSystem.h"

namespace litvorot::os {

int OpenForReading(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

void CloseFile(int fd) {
    const int error = errno;
    ::close(fd);
    errno = error;
}

long long ReadSome(int fd, char* into, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, into, size);
        if (got >= 0 || errno != EINTR) return static_cast<long long>(got);
    }
}

bool WriteAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const auto wrote = ::write(fd, bytes, std::min<std::size_t>(size, std::size_t{1} << 30));
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

long long Seek(int fd, long long offset, SeekFrom from) {
    return static_cast<long long>(
        ::lseek(fd, static_cast<off_t>(offset), from == SeekFrom::kStart ? SEEK_SET : SEEK_CUR));
}

long long RegularFileSize(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<long long>(info.st_size);
}

std::size_t PageSize() {
    const long page = ::sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<std::size_t>(page) : 0;
}

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

const char* MapForReading(int fd, long long offset, std::size_t length) {
    // Not populated ahead: the pages mapped as they are first read cost no more, measured.
    void* const base =
        ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(offset));
    return base == MAP_FAILED ? nullptr : static_cast<const char*>(base);
}

void Unmap(const char* base, std::size_t length) { ::munmap(const_cast<char*>(base), length); }

void AdviseSequential(const char* base, std::size_t length) {
#ifdef MADV_SEQUENTIAL
    ::madvise(const_cast<char*>(base), length, MADV_SEQUENTIAL);
#else
    (void)base;
    (void)length;
#endif
}

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

// A page the mapping no longer has behind it raises SIGBUS when it is read: the handler jumps
// back here, and the read is a failed one.
bool ReadMapping(const char* base, std::size_t length, void (*read)(void* context), void* context) {
    BusGuard guard{base, base + length, {}};
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
}

int OpenTemporaryFile() {
    const char* const asked = std::getenv("TMPDIR");
    struct stat info {};
    const std::string folder =
        asked != nullptr && *asked != '\0' && ::stat(asked, &info) == 0 && S_ISDIR(info.st_mode)
            ? asked
            : "/tmp";
#ifdef O_TMPFILE
    // A file with no name at all, so that none is ever left behind.
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0) return unnamed;
#endif
    // Where the file system cannot make one: a file of a name of its own, made exclusively (a
    // file or a link planted under any name is never opened) and its name removed at once.
    std::string name = folder + "/litvorot-convert.XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) ::unlink(name.c_str());
    return named;
}

VectorFeatures ProcessorVectors() {
    VectorFeatures features;
#if defined(__x86_64__) && defined(CPU_FEATURE_ACTIVE)
    // What the C library found at start-up: asking the processor again costs a trap into the
    // hypervisor on a virtual machine, several microseconds for every question.
    features.avx2 = CPU_FEATURE_ACTIVE(AVX2);
    features.avx512bw = CPU_FEATURE_ACTIVE(AVX512BW);
    features.avx512vbmi2 = CPU_FEATURE_ACTIVE(AVX512_VBMI2);
#elif defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    features.avx2 = __builtin_cpu_supports("avx2");
    features.avx512bw = __builtin_cpu_supports("avx512bw");
    features.avx512vbmi2 = __builtin_cpu_supports("avx512vbmi2");
#endif
    return features;
}

}  // namespace litvorot::os
