// Fuzzes the automatic source: the readings of any text and the conversion with each of them, and
// checks what must hold for any text:
// - the text as it is is always listed, and every kind at most once;
// - scores are log-probabilities (<= 0), and the readings after the first come by score;
// - the text as it is, converted to Unicode, is the text itself;
// - a Translit reading converts exactly as the Translit source does, and scores at least as well as
//   the letters it reads (it is scored as the cheapest Russian that Translit writes alike);
// - on ASCII text, the Russian layout's reading read back on the English layout is the text;
// - a byte mix-up's text garbled again the way it names gives the text back (every code page,
//   UTF-8 once and twice), and so does each piece of a reading in pieces, between which the text
//   is as it was;
// - a reading converts the same whether it holds its text (ListReadings) or not (ConvertAuto);
// - the first reading is no less likely than the text as it is, unless Translit, whose margin
//   lets a text that scores a little below its letters read as English be Translit, reads some of
//   it, or the Russian layout reads a text of capitals (an abbreviation, or a code of them with
//   digits and marks) by its initials, two in a row at least, of which the letter models know
//   nothing («ДМЬ» is LVM).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"
#include "detect/modCharsets.h"
#include "detect/modDetect.h"
#include "fuzz_support.h"

using namespace litvorot;
using fuzz::Check;

namespace {

// How each byte mix-up garbled a text: its bytes in `real` (nothing: UTF-8, once or twice) shown
// in `shown`.
struct Garbling {
    ReadingKind kind;
    std::optional<Charset> real;
    Charset shown;
    int utf8 = 0;  // times written as UTF-8
};
constexpr Charset k1251 = Charset::kWindows1251, k1252 = Charset::kWindows1252,
                  kKoi8R = Charset::kKoi8R;
const Garbling kGarblings[] = {
    {ReadingKind::kKoi8Bytes, kKoi8R, k1252},
    {ReadingKind::kCp1251Bytes, k1251, k1252},
    {ReadingKind::kUtf8AsCp1251, std::nullopt, k1251, 1},
    {ReadingKind::kUtf8AsKoi8R, std::nullopt, kKoi8R, 1},
    {ReadingKind::kUtf8AsCp1252, std::nullopt, k1252, 1},
    {ReadingKind::kCp1251AsKoi8R, k1251, kKoi8R},
    {ReadingKind::kKoi8RAsCp1251, kKoi8R, k1251},
    {ReadingKind::kUtf8AsCp866, std::nullopt, Charset::kCp866, 1},
    {ReadingKind::kCp866AsCp1251, Charset::kCp866, k1251},
    {ReadingKind::kCp1251AsCp866, k1251, Charset::kCp866},
    {ReadingKind::kCp866AsCp437, Charset::kCp866, Charset::kCp437},
    {ReadingKind::kUtf8AsCp1251Twice, std::nullopt, k1251, 2},
    {ReadingKind::kUtf8AsCp1252Twice, std::nullopt, k1252, 2},
    {ReadingKind::kUtf8AsKoi8RTwice, std::nullopt, kKoi8R, 2},
    {ReadingKind::kMacCyrillicAsCp1251, Charset::kMacCyrillic, k1251},
    {ReadingKind::kIso88595AsCp1251, Charset::kIso88595, k1251},
    {ReadingKind::kKoi8UAsCp1251, Charset::kKoi8U, k1251},
    {ReadingKind::kKoi8UBytes, Charset::kKoi8U, k1252},
};

std::string Utf8Of(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// `repaired` garbled again as `kind` garbles a text, where `kind` is a byte mix-up.
std::optional<std::u16string> GarbleAgain(ReadingKind kind, std::u16string text) {
    for (const Garbling& g : kGarblings) {
        if (g.kind != kind) continue;
        if (g.real) {
            const auto bytes = EncodeCharset(*g.real, text);
            return DecodeCharset(g.shown, *bytes);
        }
        for (int i = 0; i < g.utf8; ++i) text = DecodeCharset(g.shown, Utf8Of(text));
        return text;
    }
    return std::nullopt;
}

// Whether what `kind` read as `read` gives `original` back when garbled again, up to the two
// characters CP 1252 takes for each of the bytes 0x80..0x9F (its own and the control character
// of the byte's number, as text held a byte a character has it). CP 1252 twice, whose middle text
// may hold either, is left out.
void CheckGarblesBack(ReadingKind kind, std::u16string_view original, std::u16string_view read) {
    if (kind == ReadingKind::kUtf8AsCp1252Twice) return;
    const auto again = GarbleAgain(kind, std::u16string(read));
    if (!again || *again == original) return;
    for (const Garbling& g : kGarblings) {
        if (g.kind == kind)
            Check(EncodeCharset(g.shown, *again) == EncodeCharset(g.shown, original));
    }
}

// Whether `text` is Russian capitals, two in a row at least, with digits, marks and white space
// between them: an abbreviation, or a code of them, which the Russian layout reads by its initials.
bool AbbreviationOrCode(std::u16string_view text) {
    const auto capital = [](char16_t c) { return (c >= u'А' && c <= u'Я') || c == u'Ё'; };
    const auto part = [&](char16_t c) {
        return capital(c) || (c >= u'0' && c <= u'9') ||
               std::u16string_view(u"/-_.+ \t\r\n").find(c) != std::u16string_view::npos;
    };
    const auto initials = [&](char16_t a, char16_t b) { return capital(a) && capital(b); };
    return std::all_of(text.begin(), text.end(), part) &&
           std::adjacent_find(text.begin(), text.end(), initials) != text.end();
}

}  // namespace

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

    const std::u16string_view body = std::u16string_view(text).substr(0, text.find(u'\0'));
    for (const Reading& r : readings) {
        if (r.kind == ReadingKind::kPieces) {
            std::size_t at = 0, out = 0;
            for (const Piece& piece : r.pieces) {
                Check(piece.begin >= at && piece.end >= piece.begin && piece.end <= body.size());
                const std::size_t between = piece.begin - at;
                Check(r.text.compare(out, between, body.substr(at, between)) == 0);
                out += between;
                // The piece read alone, as its reading reads a text.
                Reading alone;
                alone.kind = piece.kind;
                alone.original =
                    piece.kind == ReadingKind::kAsIs || piece.kind == ReadingKind::kTranslitText;
                alone.source = piece.kind == ReadingKind::kTranslitText ? kTranslit : kUnicode;
                const std::u16string_view original =
                    body.substr(piece.begin, piece.end - piece.begin);
                std::u16string part(original);
                part.push_back(u'\0');
                ConvertWithReading(alone, kUnicode, part);
                part.resize(std::min(part.size(), part.find(u'\0')));
                Check(r.text.compare(out, part.size(), part) == 0);
                out += part.size();
                CheckGarblesBack(piece.kind, original, part);
                at = piece.end;
            }
            Check(r.text.substr(out) == body.substr(at));
        } else if (!r.original) {
            CheckGarblesBack(r.kind, body, r.text);
        }
    }

    std::u16string automatic = text;
    const auto again = ConvertAuto(dest, automatic);
    Check(again.front().kind == readings.front().kind);
    Check(again.size() == readings.size());
    for (std::size_t i = 0; i < again.size(); ++i) {
        Check(again[i].kind == readings[i].kind);
        std::u16string held = text, unheld = text;
        ConvertWithReading(readings[i], dest, held);
        ConvertWithReading(again[i], dest, unheld);
        Check(held == unheld);
    }
    const auto asIs = std::find_if(readings.begin(), readings.end(),
                                   [](const Reading& r) { return r.kind == ReadingKind::kAsIs; });
    const Reading& first = readings.front();
    const bool translit = first.kind == ReadingKind::kTranslitText ||
                          std::any_of(first.pieces.begin(), first.pieces.end(), [](const Piece& p) {
                              return p.kind == ReadingKind::kTranslitText;
                          });
    const bool initials =
        first.kind == ReadingKind::kEnglishOnRussianKeys && AbbreviationOrCode(body);
    if (!translit && !initials) Check(first.score >= asIs->score);
    return 0;
}
