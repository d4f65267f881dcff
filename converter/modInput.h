// Reading one input of the converter: a file, or standard input as "-".
#pragma once

#include <string>
#include <string_view>

namespace litvorot {

// One input's bytes: a regular file is mapped (its pages come straight from the page cache),
// anything else is read into memory.
class Input {
  public:
    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input();

    // Returns false with errno set when the input cannot be read.
    bool Load(const std::string& path);
    std::string_view Bytes() const;

  private:
    void Unmap();

    void* map_ = nullptr;
    std::size_t mapSize_ = 0;
    std::string buffer_;
};

}  // namespace litvorot
