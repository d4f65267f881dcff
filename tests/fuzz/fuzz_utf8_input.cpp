// Fuzzes the converter's input path (UTF-8 or bytes in, UTF-8 or bytes out). Valid UTF-8 between
// equal formats comes back as it went in, up to its first NUL; invalid UTF-8 is refused with an
// offset before which the input is valid and at which it is not; bytes in and out between equal
// formats give the input back up to its first NUL byte.
#include <unicode/utf8.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "converter/modConvertInput.h"
#include "fuzz_support.h"
#include "tables/modTables.h"

using namespace litvorot;
using fuzz::Check;

namespace {

bool ValidUtf8(std::string_view bytes) { return FirstInvalidOffset(bytes) == bytes.size(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::BuildTablesOnce();
    if (size < 2) return 0;
    ConvertOptions options;
    options.from = static_cast<TextFormat>(data[0] % 4 + 1);
    options.to = static_cast<TextFormat>(data[1] % 4 + 1);
    options.bytesIn = (data[0] & 0x80) != 0;
    options.bytesOut = (data[1] & 0x80) != 0;
    const std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);

    std::u16string text;
    ByteBuffer out;
    std::string error;
    const auto output = ConvertInput(options, input, text, out, error);
    const std::string_view beforeNul = input.substr(0, input.find('\0'));

    if (!options.bytesIn) {
        const std::size_t invalid = FirstInvalidOffset(input);
        if (invalid < input.size()) {
            Check(!output);
            Check(error == "invalid UTF-8 at byte offset " + std::to_string(invalid));
            Check(ValidUtf8(input.substr(0, invalid)));
            return 0;
        }
    }
    if (options.from == options.to) {
        if (options.bytesIn == options.bytesOut) {
            Check(output && *output == beforeNul);
        }
    } else if (output && !options.bytesOut) {
        Check(ValidUtf8(*output));
    }
    return 0;
}
