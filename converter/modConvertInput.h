// One input of the converter, converted as one clipboard text: decoded, terminated, converted,
// cut at its first NUL and encoded again.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <vector>

#include "converter/modInput.h"
#include "detect/modDetect.h"
#include "tables/modTables.h"

namespace litvorot {

struct ConvertOptions {
    TextFormat from = 0;  // kAuto: the likeliest reading of each input
    TextFormat to = 0;
    bool bytesIn = false;   // each input byte is the character U+0000..U+00FF of that number
    bool bytesOut = false;  // each output character U+0000..U+00FF is written as that byte
    std::vector<Reading>* readings = nullptr;  // with kAuto: receives the input's readings
};

// Converts `data`. On success gives the output bytes, which lie in `text` or `out` (both are kept
// between calls so that their memory is reused). On failure gives nothing and sets `message` to
// a text such as "invalid UTF-8 at byte offset 12".
std::optional<std::string_view> ConvertInput(const ConvertOptions& options, std::string_view data,
                                             std::u16string& text, ByteBuffer& out,
                                             std::string& message);

// The messages of a refused input: "invalid UTF-8 at byte offset 12", and a character above U+00FF
// on the way out as bytes, its `position` counting the output's UTF-16 units from 1.
std::string InvalidUtf8Message(std::size_t offset);
std::string NoByteMessage(char16_t c, std::size_t position);

}  // namespace litvorot
