#include "detect/modCharsets.h"

#include <array>
#include <cstdint>
#include <vector>

#include "convert/modCodePage.h"

namespace litvorot {

namespace {

// 0x80..0xFF of KOI8-R (RFC 1489).
constexpr std::array<char16_t, 128> kKoi8RHigh{
    0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524,  // 80
    0x252C, 0x2534, 0x253C, 0x2580, 0x2584, 0x2588, 0x258C, 0x2590,  // 88
    0x2591, 0x2592, 0x2593, 0x2320, 0x25A0, 0x2219, 0x221A, 0x2248,  // 90
    0x2264, 0x2265, 0x00A0, 0x2321, 0x00B0, 0x00B2, 0x00B7, 0x00F7,  // 98
    0x2550, 0x2551, 0x2552, 0x0451, 0x2553, 0x2554, 0x2555, 0x2556,  // A0
    0x2557, 0x2558, 0x2559, 0x255A, 0x255B, 0x255C, 0x255D, 0x255E,  // A8
    0x255F, 0x2560, 0x2561, 0x0401, 0x2562, 0x2563, 0x2564, 0x2565,  // B0
    0x2566, 0x2567, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x00A9,  // B8
    0x044E, 0x0430, 0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433,  // C0
    0x0445, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E,  // C8
    0x043F, 0x044F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0436, 0x0432,  // D0
    0x044C, 0x044B, 0x0437, 0x0448, 0x044D, 0x0449, 0x0447, 0x044A,  // D8
    0x042E, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413,  // E0
    0x0425, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E,  // E8
    0x041F, 0x042F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0416, 0x0412,  // F0
    0x042C, 0x042B, 0x0417, 0x0428, 0x042D, 0x0429, 0x0427, 0x042A,  // F8
};

// For each charset the byte of every UTF-16 unit, or -1 when it has none; built once.
struct Reverse {
    std::vector<std::int16_t> bytes = std::vector<std::int16_t>(0x10000, -1);
};

const Reverse& ReverseOf(Charset charset) {
    static const std::array<Reverse, 3> reverse = [] {
        std::array<Reverse, 3> r;
        for (int c = 0; c < 3; ++c) {
            for (int b = 0; b < 256; ++b) {
                r[c].bytes[CharsetChar(static_cast<Charset>(c), static_cast<unsigned char>(b))] =
                    static_cast<std::int16_t>(b);
            }
        }
        return r;
    }();
    return reverse[static_cast<int>(charset)];
}

}  // namespace

char16_t CharsetChar(Charset charset, unsigned char byte) {
    switch (charset) {
        case Charset::kWindows1251:
            return ByteToChar(1251, byte);
        case Charset::kWindows1252:
            return ByteToChar(1252, byte);
        case Charset::kKoi8R:
            break;
    }
    return byte < 0x80 ? byte : kKoi8RHigh[byte - 0x80];
}

std::optional<std::string> EncodeCharset(Charset charset, std::u16string_view text) {
    const std::int16_t* const bytes = ReverseOf(charset).bytes.data();
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::int16_t b = bytes[text[i]];
        if (b < 0) return std::nullopt;
        out[i] = static_cast<char>(b);
    }
    return out;
}

std::u16string DecodeCharset(Charset charset, std::string_view bytes) {
    std::array<char16_t, 256> chars;
    for (int b = 0; b < 256; ++b) chars[b] = CharsetChar(charset, static_cast<unsigned char>(b));
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out[i] = chars[static_cast<unsigned char>(bytes[i])];
    }
    return out;
}

std::optional<std::u16string> DecodeUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char lead = at(i);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        std::size_t length;
        char32_t c;
        char32_t least;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, c = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, c = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, c = lead & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (bytes.size() - i < length) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = at(i + k);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = c << 6 | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

}  // namespace litvorot
