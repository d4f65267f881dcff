// Fuzzes the automatic source: the readings of any text and the conversion with each of them, and
// checks what must hold for any text:
// - the text as it is is always listed, and every kind at most once;
// - scores are log-probabilities (<= 0), and the readings after the first come by score;
// - the text as it is, converted to Unicode, is the text itself;
// - a Translit reading converts exactly as the Translit source does, and scores at least as well as
//   the letters it reads (it is scored as the cheapest Russian that Translit writes alike);
// - on ASCII text, the Russian layout's reading read back on the English layout is the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"
#include "detect/modCharsets.h"
#include "detect/modDetect.h"
#include "fuzz_support.h"

using namespace litvorot;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::BuildTablesOnce();
    if (size < 1) return 0;
    const auto dest = static_cast<TextFormat>(data[0] % 4 + 1);
    const bool terminated = (data[0] & 4) != 0;
    SetAnsiCodePage((data[0] & 8) != 0 ? 1251 : 1252);
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    // Valid UTF-8 as the text it spells, anything else one character a byte.
    std::u16string text = DecodeUtf8(bytes).value_or(DecodeCharset(Charset::kWindows1252, bytes));
    if (terminated) text.push_back(u'\0');

    const auto readings = ListReadings(text);
    Check(!readings.empty());
    Check(std::count_if(readings.begin(), readings.end(),
                        [](const Reading& r) { return r.kind == ReadingKind::kAsIs; }) == 1);
    for (std::size_t i = 0; i < readings.size(); ++i) {
        Check(readings[i].score <= 0);
        if (i >= 2) Check(readings[i - 1].score >= readings[i].score);
        for (std::size_t k = 0; k < i; ++k) Check(readings[i].kind != readings[k].kind);

        std::u16string converted = text;
        ConvertWithReading(readings[i], dest, converted);
        if (readings[i].kind == ReadingKind::kAsIs) {
            std::u16string same = text;
            ConvertWithReading(readings[i], kUnicode, same);
            Check(same == text);
        }
        if (readings[i].kind == ReadingKind::kTranslitText) {
            std::u16string direct = text;
            ConvertText(kTranslit, dest, direct);
            Check(converted == direct);
            std::u16string read(std::u16string_view(text).substr(0, text.find(u'\0')));
            read.push_back(u'\0');
            ConvertText(kTranslit, kUnicode, read);
            read.resize(std::min(read.size(), read.find(u'\0')));
            Check(readings[i].score >= -TextCost(read));
        }
        if (readings[i].kind == ReadingKind::kRussianOnEnglishKeys) {
            const std::u16string_view body = std::u16string_view(text).substr(0, text.find(u'\0'));
            if (std::all_of(body.begin(), body.end(), [](char16_t c) { return c < 0x80; })) {
                Check(SwapLayout(readings[i].text, false) == body);
            }
        }
    }

    std::u16string automatic = text;
    const auto again = ConvertAuto(dest, automatic);
    Check(again.front().kind == readings.front().kind);
    return 0;
}
