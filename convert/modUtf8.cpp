#include "convert/modUtf8.h"

#include <cstring>

namespace litvorot {

namespace {

const unsigned char* Bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Whether the two bytes at `at` (with `size` - `at` left) are a character of two bytes: the
// Cyrillic letters among them, most of what a Russian text holds beyond ASCII.
inline bool TwoByteChar(const unsigned char* bytes, std::size_t at, std::size_t size) {
    return bytes[at] - 0xC2u < 0x1Eu && at + 1 < size && (bytes[at + 1] & 0xC0) == 0x80;
}

void AppendUtf16(char32_t c, char16_t*& out) {
    if (c < 0x10000) {
        *out++ = static_cast<char16_t>(c);
    } else {
        *out++ = static_cast<char16_t>(0xD7C0 + (c >> 10));
        *out++ = static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    }
}

}  // namespace

// Runs of ASCII eight bytes at a time and characters of two bytes are stepped over before the
// whole decoding is asked.
std::size_t FirstMalformedUtf8(std::string_view text) noexcept {
    const unsigned char* const bytes = Bytes(text);
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        while (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            if ((word & 0x8080808080808080u) != 0) break;
            i += 8;
        }
        if (i == size) break;
        if (bytes[i] < 0x80) {
            ++i;
        } else if (TwoByteChar(bytes, i, size)) {
            i += 2;
        } else {
            const Utf8Char next = NextUtf8Char(bytes + i, size - i);
            if (!next.valid) return i;
            i += next.length;
        }
    }
    return size;
}

std::optional<std::size_t> Utf8ToUtf16(std::string_view text, char16_t* out) noexcept {
    const unsigned char* const bytes = Bytes(text);
    const std::size_t size = text.size();
    char16_t* o = out;
    for (std::size_t i = 0; i < size;) {
        const unsigned byte = bytes[i];
        if (byte < 0x80) {
            *o++ = static_cast<char16_t>(byte);
            ++i;
        } else if (TwoByteChar(bytes, i, size)) {
            *o++ = static_cast<char16_t>((byte & 0x1F) << 6 | (bytes[i + 1] & 0x3F));
            i += 2;
        } else {
            const Utf8Char next = NextUtf8Char(bytes + i, size - i);
            if (!next.valid) return std::nullopt;
            AppendUtf16(next.c, o);
            i += next.length;
        }
    }
    return static_cast<std::size_t>(o - out);
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    const std::optional<std::size_t> units = Utf8ToUtf16(bytes, text.data());
    if (!units) return std::nullopt;
    text.resize(*units);
    return text;
}

std::u32string Utf8ToUtf32Lenient(std::string_view text) {
    const unsigned char* const bytes = Bytes(text);
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char next = NextUtf8Char(bytes + i, text.size() - i);
        out += next.c;
        i += next.length;
    }
    return out;
}

}  // namespace litvorot
