// Fuzzes ConvertText in every direction, with and without the terminator, under both code pages,
// and checks what must hold for any text:
// - equal formats leave the text untouched;
// - the fast path gives exactly what the plain one gives;
// - the Translit reader writes at most one character for each character it reads;
// - KOI8 or CP 1251 -> Unicode -> the same format, under code page 1252, gives back the clipboard
//   text (the part before its first NUL) of a terminated input without Cyrillic letters of its own.
// A hang shows up as a libFuzzer timeout.
#include <cstddef>
#include <cstdint>
#include <string>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"
#include "convert/modTranslit.h"
#include "fuzz_support.h"
#include "tables/modTables.h"

using namespace litvorot;
using fuzz::Check;

namespace {

std::u16string_view BeforeNul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::BuildTablesOnce();
    if (size < 3) return 0;

    // Formats from -1 to 5, so that invalid codes are covered too.
    const auto from = static_cast<TextFormat>(data[0] % 7 - 1);
    const auto to = static_cast<TextFormat>(data[1] % 7 - 1);
    const std::uint8_t flags = data[2];
    const bool terminated = (flags & 1) != 0;
    const bool wide = (flags & 2) != 0;  // two bytes a unit, else one byte a unit (8-bit text)
    SetAnsiCodePage((flags & 4) != 0 ? 1251 : 1252);
    data += 3;
    size -= 3;

    std::u16string text;
    if (wide) {
        for (std::size_t i = 0; i + 1 < size; i += 2) {
            text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
        }
    } else {
        for (std::size_t i = 0; i < size; ++i) text += static_cast<char16_t>(data[i]);
    }
    if (terminated) text += u'\0';

    std::u16string fast = text;
    ConvertText(from, to, fast);
    std::u16string plain = text;
    ConvertTextPlain(from, to, plain);
    Check(fast == plain);
    if (from == to) Check(fast == text);

    std::u16string read;
    ReadTranslit(text, to, read);
    Check(read.size() <= text.size());

    if ((from == kKoi8 || from == kCp1251) && terminated && (flags & 4) == 0) {
        bool cyrillic = false;
        for (const char16_t unit : text) {
            cyrillic = cyrillic || TableIndex(kUnicode, static_cast<std::int16_t>(unit)) != 0;
        }
        if (!cyrillic) {
            std::u16string round = text;
            ConvertText(from, kUnicode, round);
            ConvertText(kUnicode, from, round);
            Check(BeforeNul(round) == BeforeNul(text));
        }
    }
    return 0;
}
