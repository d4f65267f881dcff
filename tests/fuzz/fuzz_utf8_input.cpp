// Fuzzes the converter's input path (UTF-8 or bytes in, UTF-8 or bytes out). Valid UTF-8 between
// equal formats comes back as it went in, up to its first NUL; invalid UTF-8 is refused with an
// offset before which the input is valid and at which it is not; bytes in and out between equal
// formats give the input back up to its first NUL byte. The UTF-8 decoder takes the input as ICU's
// macros, which the converter decoded with before, take it: the same characters, the same first
// fault, one U+FFFD for each of the same subparts.
#include <unicode/utf8.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/modUtf8.h"
#include "converter/modConvertInput.h"
#include "fuzz_support.h"
#include "tables/modTables.h"

using namespace litvorot;
using fuzz::Check;

namespace {

bool ValidUtf8(std::string_view bytes) { return FirstMalformedUtf8(bytes) == bytes.size(); }

void CheckDecoderAgainstIcu(std::string_view input) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(input.data());
    const auto size = static_cast<std::int32_t>(input.size());
    std::u32string lenient;
    std::size_t firstFault = input.size();
    for (std::int32_t i = 0; i < size;) {
        const std::int32_t at = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, size, c);
        if (c < 0 && firstFault == input.size()) firstFault = static_cast<std::size_t>(at);
        lenient += c < 0 ? U'\uFFFD' : static_cast<char32_t>(c);
    }
    Check(FirstMalformedUtf8(input) == firstFault);
    Check(Utf8ToUtf32Lenient(input) == lenient);
}

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
    CheckDecoderAgainstIcu(input);

    std::u16string text;
    ByteBuffer out;
    std::string error;
    const auto output = ConvertInput(options, input, text, out, error);
    const std::string_view beforeNul = input.substr(0, input.find('\0'));

    if (!options.bytesIn) {
        const std::size_t invalid = FirstMalformedUtf8(input);
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
