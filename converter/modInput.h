// Reading one input of the converter: a file, or standard input as "-".
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace litvorot {

// Bytes in memory that is not filled before it is written; large buffers get huge pages.
class ByteBuffer {
  public:
    // Makes room for `bytes` in all, dropping what the buffer holds.
    void Reserve(std::size_t bytes);
    char* Data() { return data_.get(); }

    // Appending: Clear, then Room for the space the next piece may take, then Commit what it took.
    // Room keeps what the buffer holds.
    void Clear() { size_ = 0; }
    char* Room(std::size_t bytes);
    void Commit(std::size_t bytes) { size_ += bytes; }
    std::size_t Free() const { return capacity_ - size_; }
    std::string_view View() const { return {data_.get(), size_}; }

  private:
    // Aligned to a page: the kernel copies a file several times slower into memory that is not.
    struct Release {
        void operator()(char* memory) const;
    };
    static char* Allocate(std::size_t bytes);
    std::unique_ptr<char, Release> data_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// Opens an input for reading ("-" is standard input): its descriptor, or -1 with errno set.
int OpenInput(const std::string& path);
// Closes what OpenInput opened, keeping errno.
void CloseInput(int fd);

// A part of a regular file mapped into memory, so that converting it costs no copy into a buffer.
// Another program that shortens the file while it is mapped takes away pages the converter is
// reading, which raises SIGBUS: Read turns that into a failed read instead of the end of the
// program (see os::ReadMapping). Where files cannot be mapped, Map fails and the file is read as
// before.
class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile() { Unmap(); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps `size` bytes of `fd` from `offset`; false when they cannot be mapped.
    bool Map(int fd, long long offset, std::size_t size);
    void Unmap();
    std::string_view Bytes() const { return {data_, size_}; }
    // Says the bytes will be read once, from the first to the last (which maps them faster).
    void AdviseSequential() const;

    // Calls `read(context)`, which may read Bytes(). False when a page of them could not be read
    // (the file was shortened, or its disk failed): `read` was then stopped where it was, so it
    // must leave nothing half done that needs more than being dropped (no locks held, no memory
    // allocated but not yet owned, no objects whose destructors must run).
    bool Read(void (*read)(void* context), void* context) const;

  private:
    const char* base_ = nullptr;  // the mapping, from the page the bytes begin in
    std::size_t length_ = 0;
    const char* data_ = nullptr;
    std::size_t size_ = 0;
};

// One input's bytes, read into memory whole. Read, not mapped: the text is converted in a buffer
// of its own anyway, and no guard against a file shortened meanwhile is needed (see MappedFile).
class Input {
  public:
    // Returns false with errno set when the input cannot be read.
    bool Load(const std::string& path);
    std::string_view Bytes() const { return buffer_.View(); }

  private:
    ByteBuffer buffer_;
};

}  // namespace litvorot
