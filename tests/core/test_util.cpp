#include "test_util.h"

#include <utf8.h>

namespace litvorot::test {

std::u16string U16(std::string_view utf8) {
    std::u16string out;
    utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(out));
    return out;
}

std::string U8(std::u16string_view utf16) {
    std::string out;
    utf8::utf16to8(utf16.begin(), utf16.end(), std::back_inserter(out));
    return out;
}

std::string RandomUtf8Mix(std::mt19937& rng, std::size_t most) {
    // The first and last of each length, the last before the surrogates and the first after.
    static const char32_t kCharacters[] = {U'a',   U' ',    0x7F,    0x80,    0x436,
                                           0x7FF,  0x800,   0x2014,  0xD7FF,  0xE000,
                                           0xFFFF, 0x10000, 0x1F600, 0x10FFFF};
    static const unsigned char kBytes[] = {0x00, 0x80, 0x8f, 0x90, 0x9f, 0xa0, 0xbf, 0xc0, 0xc1,
                                           0xc2, 0xdf, 0xe0, 0xe1, 0xed, 0xee, 0xef, 0xf0, 0xf1,
                                           0xf3, 0xf4, 0xf5, 0xf7, 0xf8, 0xfe, 0xff};
    std::uniform_int_distribution<std::size_t> size(0, most);
    std::uniform_int_distribution<std::size_t> character(0, std::size(kCharacters) - 1);
    std::uniform_int_distribution<std::size_t> byte(0, std::size(kBytes) - 1);
    std::bernoulli_distribution whole(0.5);
    std::string text;
    for (const std::size_t want = size(rng); text.size() < want;) {
        if (whole(rng)) {
            utf8::append(kCharacters[character(rng)], std::back_inserter(text));
        } else {
            text += static_cast<char>(kBytes[byte(rng)]);
        }
    }
    return text;
}

}  // namespace litvorot::test
