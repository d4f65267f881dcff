#include "detect/modCharsets.h"

#include "convert/modUtf8.h"

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

// For each charset the byte of every UTF-16 unit below kCharsetUnits, or -1 when it has none;
// built once.
using Reverse = std::vector<std::int16_t>;

const Reverse& ReverseOf(Charset charset) {
    static const std::array<Reverse, kCharsets> reverse = [] {
        std::array<Reverse, kCharsets> r;
        for (int c = 0; c < kCharsets; ++c) {
            r[c].assign(kCharsetUnits, -1);
            const auto set = static_cast<Charset>(c);
            // CP 1252 also takes text held one character a byte: U+0080..U+009F are bytes there,
            // and its own characters of 0x80..0x9F lie above U+00FF, so the two never clash.
            if (set == Charset::kWindows1252) {
                for (int b = 0x80; b < 0xA0; ++b) r[c][b] = static_cast<std::int16_t>(b);
            }
            for (int b = 0; b < 256; ++b) {
                r[c].at(CharsetChar(set, static_cast<unsigned char>(b))) =
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

int CharsetByte(Charset charset, char16_t c) {
    return c < kCharsetUnits ? ReverseOf(charset)[c] : -1;
}

const std::int16_t* CharsetBytes(Charset charset) { return ReverseOf(charset).data(); }

std::optional<std::string> EncodeCharset(Charset charset, std::u16string_view text) {
    const std::int16_t* const bytes = ReverseOf(charset).data();
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::int16_t b = text[i] < kCharsetUnits ? bytes[text[i]] : -1;
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

// Through the program's one UTF-8 decoder (convert/modUtf8.h).
bool DecodeUtf8Into(std::string_view bytes, std::u16string& out) {
    out.resize(bytes.size());
    const std::optional<std::size_t> units = Utf8ToUtf16(bytes, out.data());
    out.resize(units.value_or(0));
    return units.has_value();
}

std::optional<std::u16string> DecodeUtf8(std::string_view bytes) { return Utf8ToUtf16(bytes); }

}  // namespace litvorot
