// The byte code pages that text gets misread in: CP 1251, CP 1252 and KOI8-R, each byte read the
// way Windows reads it (bytes a code page leaves undefined become the control character of the
// same number), and UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace litvorot {

enum class Charset { kWindows1251, kWindows1252, kKoi8R };

// The character that `byte` stands for in `charset`.
char16_t CharsetChar(Charset charset, unsigned char byte);

// The bytes of `text` in `charset`, or nothing when a character has no byte there.
std::optional<std::string> EncodeCharset(Charset charset, std::u16string_view text);

// `bytes` read in `charset`, one character a byte.
std::u16string DecodeCharset(Charset charset, std::string_view bytes);

// `bytes` read as UTF-8, or nothing when they are no well-formed UTF-8 (overlong forms,
// surrogates and code points above U+10FFFF included).
std::optional<std::u16string> DecodeUtf8(std::string_view bytes);

}  // namespace litvorot
