// Reading one input of the converter: a file, or standard input as "-".
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace litvorot {

// One input's bytes, read into memory whole. A file is read, not mapped: a mapped file that
// another program shortens while it is converted would kill the converter with SIGBUS.
class Input {
  public:
    // Returns false with errno set when the input cannot be read.
    bool Load(const std::string& path);
    std::string_view Bytes() const { return {data_.get(), size_}; }

  private:
    // Room for at least `more` bytes after the ones read; what is there is kept. Not zeroed: the
    // reads fill it.
    void Reserve(std::size_t more);

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace litvorot
