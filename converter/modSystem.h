// What the converter asks of the operating system, one implementation file per platform
// (modSystem_posix.cpp): files by their descriptors, mappings of them, advice on memory, a
// temporary file and the processor's vector instructions. A call that fails leaves its reason in
// errno.
#pragma once

#include <cstddef>
#include <string>

namespace litvorot::os {

constexpr int kStandardInput = 0;
constexpr int kStandardOutput = 1;

// Opens the file `path` for reading: its descriptor, or -1.
int OpenForReading(const std::string& path);
// Closes `fd`, keeping errno as it was.
void CloseFile(int fd);

// Reads up to `size` bytes of `fd` into `into` (a read the system broke off is made again): how
// many it read, 0 at the end, or -1.
long long ReadSome(int fd, char* into, std::size_t size);
// Writes all of `bytes` to `fd`; false when that fails.
bool WriteAll(int fd, const char* bytes, std::size_t size);

enum class SeekFrom { kStart, kCurrent };
// Moves the offset of `fd` to `offset` from its start, or by `offset` from where it is (0 asks
// where that is): the new offset, in 64 bits everywhere, or -1.
long long Seek(int fd, long long offset, SeekFrom from);

// The size of `fd` when it is a regular file; -1 for anything else (a pipe, a terminal) and when
// it cannot be asked.
long long RegularFileSize(int fd);

// The size of a page of memory, which a mapping starts at a multiple of; 0 when it is not known.
std::size_t PageSize();

// Asks for huge pages behind the part of [data, data + bytes) aligned to them, before it is first
// touched: a 10 MB text otherwise costs thousands of page faults, a good part of the whole run.
void AdviseHugePages(const void* data, std::size_t bytes);

// Maps `length` bytes of `fd` from `offset` (a multiple of PageSize()) for reading: where they
// lie, or nullptr when they cannot be mapped.
const char* MapForReading(int fd, long long offset, std::size_t length);
// Undoes MapForReading.
void Unmap(const char* base, std::size_t length);
// Says a mapping will be read once, from its first byte to its last (which maps it faster).
void AdviseSequential(const char* base, std::size_t length);

// Calls `read(context)`, which reads the mapping [base, base + length). False when a page of it
// could not be read (the file was shortened, or its disk failed): `read` was then stopped where it
// was, so it must leave nothing half done that needs more than being dropped (no locks held, no
// memory allocated but not yet owned, no objects whose destructors must run). Any other fault is
// left to what would have handled it.
bool ReadMapping(const char* base, std::size_t length, void (*read)(void* context), void* context);

// A new file for reading and writing that no name leads to, so that it is gone once closed, made
// in the folder TMPDIR names (in /tmp when TMPDIR is unset, empty or no folder): its descriptor,
// or -1.
int OpenTemporaryFile();

// The vector instructions the processor has and the system lets programs use.
struct VectorFeatures {
    bool avx2 = false;
    bool avx512bw = false;
    bool avx512vbmi2 = false;
};
VectorFeatures ProcessorVectors();

}  // namespace litvorot::os
