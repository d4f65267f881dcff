#include "converter/modConvertInput.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "convert/modTextRoutines.h"
#include "convert/modUtf8.h"
#include "converter/modSystem.h"
#include "detect/modDetect.h"

namespace litvorot {

namespace {

void Reserve(std::u16string& text, std::size_t units) {
    if (text.capacity() >= units) return;
    text.reserve(units);
    os::AdviseHugePages(text.data(), text.capacity() * sizeof(char16_t));
}

std::string Hex(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", value);
    return buffer;
}

// The position of the first NUL unit in `text`, or its size. Blocks of 16 are tested whole, so
// the compiler can compare them in parallel.
std::size_t FirstNul(std::u16string_view text) {
    constexpr std::size_t kBlock = 16;
    std::size_t i = 0;
    for (; i + kBlock <= text.size(); i += kBlock) {
        bool nul = false;
        for (std::size_t k = 0; k < kBlock; ++k) nul |= text[i + k] == u'\0';
        if (nul) break;
    }
    for (; i < text.size(); ++i) {
        if (text[i] == u'\0') return i;
    }
    return text.size();
}

// Encodes UTF-16 as UTF-8 into `out` (room for three bytes a unit): the bytes written, or
// nothing when `text` holds a lone surrogate.
std::optional<std::size_t> ToUtf8(std::u16string_view text, char* out) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(out);
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size();) {
        UChar32 c = text[i++];
        if (c < 0x80) {
            bytes[length++] = static_cast<std::uint8_t>(c);
            continue;
        }
        if (U16_IS_SURROGATE(c)) {
            if (!U16_IS_SURROGATE_LEAD(c) || i == text.size() || !U16_IS_TRAIL(text[i])) {
                return std::nullopt;
            }
            c = U16_GET_SUPPLEMENTARY(c, text[i++]);
        }
        U8_APPEND_UNSAFE(bytes, length, c);
    }
    return length;
}

// Decodes `bytes` (the whole input `data` or a block of it) into `text`, whose size must already
// be room enough for them, and converts it as a clipboard text: terminated, converted where it
// stands and cut at its first NUL. Malformed UTF-8 gives false, with `message` naming its place
// in `data`.
bool DecodeAndConvert(const ConvertOptions& options, std::string_view data, std::string_view bytes,
                      std::u16string& text, std::string& message) {
    if (options.bytesIn) {
        std::transform(bytes.begin(), bytes.end(), text.begin(),
                       [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
        text.resize(bytes.size());
    } else {
        const std::optional<std::size_t> length = Utf8ToUtf16(bytes, text.data());
        if (!length) {
            message = InvalidUtf8Message(FirstMalformedUtf8(data));
            return false;
        }
        text.resize(*length);
    }
    text.push_back(u'\0');
    if (options.from == kAuto) {
        auto readings = ConvertAuto(options.to, text);
        if (options.readings != nullptr) *options.readings = std::move(readings);
    } else {
        ConvertText(options.from, options.to, text);
    }
    text.resize(FirstNul(text));
    return true;
}

// The index of the first character of `text` that is no byte (above U+00FF), or its size.
std::size_t FirstNonByte(std::u16string_view text) {
    return static_cast<std::size_t>(
        std::find_if(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; }) - text.begin());
}

}  // namespace

std::string InvalidUtf8Message(std::size_t offset) {
    return "invalid UTF-8 at byte offset " + std::to_string(offset);
}

std::string NoByteMessage(char16_t c, std::size_t position) {
    return "character " + Hex(c) + " at position " + std::to_string(position) +
           " of the output is no byte";
}

namespace {

// KOI8, CP 1251 and Unicode text convert character by character, and the clipboard text ends at
// its first NUL, so converting the input in blocks (each one terminated, converted and cut at its
// NUL) gives exactly what converting it whole gives. Blocks keep the work inside the processor's
// caches, so the time grows in step with the input. Malformed UTF-8 anywhere in the input, after
// a NUL too, still refuses the whole input.
std::optional<std::string_view> ConvertInBlocks(const ConvertOptions& options,
                                                std::string_view data, std::u16string& text,
                                                ByteBuffer& out, std::string& message) {
    constexpr std::size_t kBlock = 64 * 1024;
    const std::string_view body = data.substr(0, data.find('\0'));
    // Output bytes per input byte: a Translit letter may take four, any other character three.
    out.Reserve(data.size() * (options.to == kTranslit ? 4 : 3) + 16);
    std::size_t written = 0;  // output characters so far
    for (std::size_t start = 0; start < body.size();) {
        std::size_t end = std::min(start + kBlock, body.size());
        if (!options.bytesIn) {
            // Never cut a character: step back over continuation bytes.
            std::size_t cut = end;
            while (cut < body.size() && cut > start &&
                   (static_cast<unsigned char>(body[cut]) & 0xC0) == 0x80) {
                --cut;
            }
            if (cut > start) end = cut;
        }
        const std::string_view block = body.substr(start, end - start);
        start = end;

        text.resize(block.size() * 4 + 1);
        if (!DecodeAndConvert(options, data, block, text, message)) return std::nullopt;

        if (options.bytesOut) {
            const std::size_t wide = FirstNonByte(text);
            if (wide != text.size()) {
                // Malformed UTF-8 further on is reported first, as for a whole text.
                if (!options.bytesIn) {
                    const std::size_t invalid = FirstMalformedUtf8(data.substr(start));
                    if (invalid < data.size() - start) {
                        message = InvalidUtf8Message(start + invalid);
                        return std::nullopt;
                    }
                }
                message = NoByteMessage(text[wide], written + wide + 1);
                return std::nullopt;
            }
            char* const bytes = out.Room(text.size());
            std::transform(text.begin(), text.end(), bytes,
                           [](char16_t c) { return static_cast<char>(c); });
            out.Commit(text.size());
        } else {
            const std::optional<std::size_t> length = ToUtf8(text, out.Room(text.size() * 3));
            if (!length) {
                message = "the output is no valid Unicode text";
                return std::nullopt;
            }
            out.Commit(*length);
        }
        written += text.size();
    }
    if (!options.bytesIn && body.size() < data.size()) {
        const std::size_t invalid = FirstMalformedUtf8(data.substr(body.size()));
        if (invalid < data.size() - body.size()) {
            message = InvalidUtf8Message(body.size() + invalid);
            return std::nullopt;
        }
    }
    return out.View();
}

}  // namespace

std::optional<std::string_view> ConvertInput(const ConvertOptions& options, std::string_view data,
                                             std::u16string& text, ByteBuffer& out,
                                             std::string& message) {
    if (data.size() > static_cast<std::size_t>(INT32_MAX / 2)) {
        message = "too large (more than 1 GiB)";
        return std::nullopt;
    }
    if (options.from != kTranslit && IsValidFormat(options.from)) {
        return ConvertInBlocks(options, data, text, out, message);
    }
    if (options.bytesIn) {
        Reserve(text, data.size() + 1);
        text.resize(data.size());
    } else {
        // Every character starts with one byte that is no continuation byte, and only the
        // four-byte ones need two UTF-16 units: the exact length of valid input.
        std::size_t units = 0;
        for (const char c : data) {
            const auto byte = static_cast<unsigned char>(c);
            units += static_cast<std::size_t>((byte & 0xC0) != 0x80) + (byte >= 0xF0);
        }
        // Room for Translit output too, which is converted where the text stands.
        Reserve(text, (options.to == kTranslit ? units * 4 : units) + 1);
        text.resize(units);
    }
    if (!DecodeAndConvert(options, data, data, text, message)) return std::nullopt;

    if (options.bytesOut) {
        const std::size_t wide = FirstNonByte(text);
        if (wide != text.size()) {
            message = NoByteMessage(text[wide], wide + 1);
            return std::nullopt;
        }
        // Narrowed where the text stands: byte i lands at or before unit i, which is read first.
        char* const bytes = reinterpret_cast<char*>(text.data());
        for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = static_cast<char>(text[i]);
        return std::string_view(bytes, text.size());
    }

    // At most three bytes for each unit; the pages beyond what is written are never touched.
    const std::size_t capacity = text.size() * 3;
    if (capacity > static_cast<std::size_t>(INT32_MAX)) {
        message = "output too large (more than 2 GiB)";
        return std::nullopt;
    }
    out.Reserve(capacity);
    const std::optional<std::size_t> length = ToUtf8(text, out.Data());
    if (!length) {
        // Only a lone surrogate can do this, and valid input holds none.
        message = "the output is no valid Unicode text";
        return std::nullopt;
    }
    return std::string_view(out.Data(), *length);
}

}  // namespace litvorot
