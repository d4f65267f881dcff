// The byte code pages that text gets misread in, each byte read the way Windows reads it (bytes a
// Windows code page leaves undefined become the control character of the same number), and UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace litvorot {

enum class Charset {
    kWindows1251,
    // Windows-1252. Encoding takes the characters U+0080..U+009F too, as the bytes of their
    // number: a text held one character a byte (ISO 8859-1) reads back the same way.
    kWindows1252,
    kKoi8R,
    kCp866,
    kCp437,
    kKoi8U,
    kMacCyrillic,
    kIso88595,
};
inline constexpr int kCharsets = 8;

// The character that `byte` stands for in `charset`.
char16_t CharsetChar(Charset charset, unsigned char byte);

// Every character of the code pages lies below U+2600 (the last, ■ of KOI8-R and 437, is U+25A0):
// no unit from here on has a byte in any of them.
inline constexpr char16_t kCharsetUnits = 0x2600;

// The byte of `c` in `charset`, or -1 when it has none there.
int CharsetByte(Charset charset, char16_t c);
// The same for every UTF-16 unit below kCharsetUnits at once.
const std::int16_t* CharsetBytes(Charset charset);

// The bytes of `text` in `charset`, or nothing when a character has no byte there.
std::optional<std::string> EncodeCharset(Charset charset, std::u16string_view text);

// `bytes` read in `charset`, one character a byte.
std::u16string DecodeCharset(Charset charset, std::string_view bytes);

// `bytes` read as UTF-8, or nothing when they are no well-formed UTF-8 (overlong forms,
// surrogates and code points above U+10FFFF included).
std::optional<std::u16string> DecodeUtf8(std::string_view bytes);

// The same into `out` (cleared first): false, with `out` unspecified, for malformed UTF-8.
bool DecodeUtf8Into(std::string_view bytes, std::u16string& out);

}  // namespace litvorot
