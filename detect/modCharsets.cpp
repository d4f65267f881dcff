#include "detect/modCharsets.h"

#include <array>
#include <cstdint>
#include <vector>

#include "convert/modCodePageTables.h"

namespace litvorot {

namespace {

const std::array<char16_t, 128>& HighHalf(Charset charset) {
    switch (charset) {
        case Charset::kWindows1251:
            return codepage::kCp1251High;
        case Charset::kWindows1252:
            return codepage::kCp1252High;
        case Charset::kKoi8R:
            return codepage::kKoi8RHigh;
        case Charset::kCp866:
            return codepage::kCp866High;
        case Charset::kCp437:
            return codepage::kCp437High;
        case Charset::kKoi8U:
            return codepage::kKoi8UHigh;
        case Charset::kMacCyrillic:
            return codepage::kMacCyrillicHigh;
        case Charset::kIso88595:
            break;
    }
    return codepage::kIso88595High;
}

// For each charset the byte of every UTF-16 unit, or -1 when it has none; built once.
using Reverse = std::vector<std::int16_t>;

const Reverse& ReverseOf(Charset charset) {
    static const std::array<Reverse, kCharsets> reverse = [] {
        std::array<Reverse, kCharsets> r;
        for (int c = 0; c < kCharsets; ++c) {
            r[c].assign(0x10000, -1);
            const auto set = static_cast<Charset>(c);
            // CP 1252 also takes text held one character a byte: U+0080..U+009F are bytes there,
            // and its own characters of 0x80..0x9F lie above U+00FF, so the two never clash.
            if (set == Charset::kWindows1252) {
                for (int b = 0x80; b < 0xA0; ++b) r[c][b] = static_cast<std::int16_t>(b);
            }
            for (int b = 0; b < 256; ++b) {
                r[c][CharsetChar(set, static_cast<unsigned char>(b))] =
                    static_cast<std::int16_t>(b);
            }
        }
        return r;
    }();
    return reverse[static_cast<int>(charset)];
}

}  // namespace

char16_t CharsetChar(Charset charset, unsigned char byte) {
    return byte < 0x80 ? byte : HighHalf(charset)[byte - 0x80];
}

int CharsetByte(Charset charset, char16_t c) { return ReverseOf(charset)[c]; }

const std::int16_t* CharsetBytes(Charset charset) { return ReverseOf(charset).data(); }

std::optional<std::string> EncodeCharset(Charset charset, std::u16string_view text) {
    const std::int16_t* const bytes = ReverseOf(charset).data();
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

bool DecodeUtf8Into(std::string_view bytes, std::u16string& out) {
    out.clear();
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
            return false;
        }
        if (bytes.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = at(i + k);
            if ((next & 0xC0) != 0x80) return false;
            c = c << 6 | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return true;
}

std::optional<std::u16string> DecodeUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    if (!DecodeUtf8Into(bytes, out)) return std::nullopt;
    return out;
}

}  // namespace litvorot
