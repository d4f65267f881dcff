// UTF-8 decoding, the one way for the whole program, by the Unicode standard's table of
// well-formed byte sequences: a character only in its shortest form, no surrogate, nothing above
// U+10FFFF. Where bytes are malformed, each maximal ill-formed subpart (the longest start of a
// well-formed sequence there, or else a single byte) is one fault, which the lenient decoding
// replaces with one U+FFFD, as Unicode recommends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace litvorot {

// One step of decoding: the character the bytes start with and how many bytes it takes; where
// they are malformed, `valid` is false, `c` is U+FFFD and `length` (1 to 3) the bytes of the
// maximal ill-formed subpart.
struct Utf8Char {
    char32_t c;
    std::uint32_t length;
    bool valid;
};

// Decodes the character at the start of `bytes`, of which there are `size` (at least one).
// Inline, for the loops that decode most characters themselves and the rest with this.
inline Utf8Char NextUtf8Char(const unsigned char* bytes, std::size_t size) noexcept {
    const unsigned lead = bytes[0];
    if (lead < 0x80) return {lead, 1, true};
    constexpr Utf8Char kLeadAlone{0xFFFD, 1, false};
    if (size < 2) return kLeadAlone;
    // The range of the second byte rules out the overlong forms (C0, C1 and after E0 and F0), the
    // surrogates (after ED) and what lies beyond U+10FFFF (F5 and above, and after F4); every other
    // continuation byte is 80..BF.
    const unsigned second = bytes[1];
    const auto continues = [](unsigned byte) { return (byte & 0xC0) == 0x80; };
    if (lead < 0xE0) {
        if (lead < 0xC2 || !continues(second)) return kLeadAlone;
        return {(lead & 0x1F) << 6 | (second & 0x3F), 2, true};
    }
    if (lead < 0xF0) {
        if (second < (lead == 0xE0 ? 0xA0u : 0x80u) || second > (lead == 0xED ? 0x9Fu : 0xBFu)) {
            return kLeadAlone;
        }
        if (size < 3 || !continues(bytes[2])) return {0xFFFD, 2, false};
        return {(lead & 0x0F) << 12 | (second & 0x3F) << 6 | (bytes[2] & 0x3F), 3, true};
    }
    if (lead < 0xF5) {
        if (second < (lead == 0xF0 ? 0x90u : 0x80u) || second > (lead == 0xF4 ? 0x8Fu : 0xBFu)) {
            return kLeadAlone;
        }
        if (size < 3 || !continues(bytes[2])) return {0xFFFD, 2, false};
        if (size < 4 || !continues(bytes[3])) return {0xFFFD, 3, false};
        return {(lead & 0x07) << 18 | (second & 0x3F) << 12 | (bytes[2] & 0x3F) << 6 |
                    (bytes[3] & 0x3F),
                4, true};
    }
    return kLeadAlone;
}

// The byte offset at which the first malformed sequence of `bytes` starts, or their size when
// they are well-formed UTF-8.
std::size_t FirstMalformedUtf8(std::string_view bytes) noexcept;

// Decodes `bytes` into `out`, which has room for as many UTF-16 units as there are bytes (no
// character takes more): the units written, or nothing when the bytes are malformed anywhere.
std::optional<std::size_t> Utf8ToUtf16(std::string_view bytes, char16_t* out) noexcept;

// `bytes` as UTF-16, or nothing when they are malformed anywhere.
std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes);

// `bytes` as characters, each maximal ill-formed subpart as one U+FFFD.
std::u32string Utf8ToUtf32Lenient(std::string_view bytes);

}  // namespace litvorot
