// Reading one input of the converter: a file, or standard input as "-".
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace litvorot {

// Asks for huge pages behind the 2 MB-aligned part of a large buffer, before it is first touched:
// a 10 MB text otherwise costs thousands of page faults, a good part of the whole run.
void AdviseHugePages(const void* data, std::size_t bytes);

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

// One input's bytes, read into memory whole. A file is read, not mapped: a mapped file that
// another program shortens while it is converted would kill the converter with SIGBUS.
class Input {
  public:
    // Returns false with errno set when the input cannot be read.
    bool Load(const std::string& path);
    std::string_view Bytes() const { return buffer_.View(); }

  private:
    ByteBuffer buffer_;
};

}  // namespace litvorot
