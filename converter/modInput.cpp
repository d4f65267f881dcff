#include "converter/modInput.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

#include "converter/modSystem.h"

namespace litvorot {

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
    os::AdviseHugePages(data_.get(), bytes);
}

char* ByteBuffer::Room(std::size_t bytes) {
    if (capacity_ - size_ < bytes) {
        const std::size_t capacity = std::max(capacity_ * 2, size_ + bytes);
        std::unique_ptr<char, Release> grown(Allocate(capacity));
        os::AdviseHugePages(grown.get(), capacity);
        std::copy_n(data_.get(), size_, grown.get());
        data_ = std::move(grown);
        capacity_ = capacity;
    }
    return data_.get() + size_;
}

bool MappedFile::Map(int fd, long long offset, std::size_t size) {
    Unmap();
    if (size == 0 || offset < 0) return false;
    const auto page = static_cast<long long>(os::PageSize());
    if (page <= 0) return false;
    const long long start = offset / page * page;
    const std::size_t skip = static_cast<std::size_t>(offset - start);
    const char* const base = os::MapForReading(fd, start, skip + size);
    if (base == nullptr) return false;
    base_ = base;
    length_ = skip + size;
    data_ = base + skip;
    size_ = size;
    return true;
}

void MappedFile::Unmap() {
    if (base_ != nullptr) os::Unmap(base_, length_);
    base_ = nullptr;
    length_ = 0;
    data_ = nullptr;
    size_ = 0;
}

void MappedFile::AdviseSequential() const {
    if (base_ != nullptr) os::AdviseSequential(base_, length_);
}

bool MappedFile::Read(void (*read)(void* context), void* context) const {
    return os::ReadMapping(base_, length_, read, context);
}

int OpenInput(const std::string& path) {
    return path == "-" ? os::kStandardInput : os::OpenForReading(path);
}

void CloseInput(int fd) {
    if (fd != os::kStandardInput) os::CloseFile(fd);
}

// Reads a whole file ("-" is standard input) in as few reads as its size allows: one read of a
// regular file's size, and one more that sees its end.
bool Input::Load(const std::string& path) {
    buffer_.Clear();
    const int fd = OpenInput(path);
    if (fd < 0) return false;
    constexpr std::size_t kChunk = 1 << 20;
    std::size_t want = kChunk;
    if (const long long size = os::RegularFileSize(fd); size > 0) {
        want = static_cast<std::size_t>(size) + 1;  // +1: the read that sees the end
    }
    bool ok = true;
    for (;;) {
        char* const room = buffer_.Room(want);
        const long long got = os::ReadSome(fd, room, want);
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
