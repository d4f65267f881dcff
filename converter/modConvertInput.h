// One input of the converter, converted as one clipboard text: decoded, terminated, converted,
// cut at its first NUL and encoded again.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tables/modTables.h"

namespace litvorot {

struct ConvertOptions {
    TextFormat from = 0;
    TextFormat to = 0;
    bool bytesIn = false;   // each input byte is the character U+0000..U+00FF of that number
    bool bytesOut = false;  // each output character U+0000..U+00FF is written as that byte
};

// Output bytes: memory that is not filled before it is written.
class OutputBuffer {
  public:
    // Makes room for `bytes` in all, dropping what the buffer holds.
    void Reserve(std::size_t bytes);
    char* Data() { return data_.get(); }

    // Appending: Clear, then Room for the space the next piece may take, then Commit what it took.
    void Clear() { size_ = 0; }
    char* Room(std::size_t bytes);
    void Commit(std::size_t bytes) { size_ += bytes; }
    std::string_view View() const { return {data_.get(), size_}; }

  private:
    std::unique_ptr<char[]> data_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// Converts `data`. On success gives the output bytes, which lie in `text` or `out` (both are kept
// between calls so that their memory is reused). On failure gives nothing and sets `message` to
// a text such as "invalid UTF-8 at byte offset 12".
std::optional<std::string_view> ConvertInput(const ConvertOptions& options, std::string_view data,
                                             std::u16string& text, OutputBuffer& out,
                                             std::string& message);

// The byte offset of the first malformed UTF-8 sequence in `data`, or its size when it has none.
std::size_t FirstInvalidOffset(std::string_view data);

}  // namespace litvorot
