#include "detect/modDetect.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "convert/modTextRoutines.h"
#include "detect/modCharsets.h"
#include "detect/modLanguageModel.h"

namespace litvorot {

namespace {

// ---- The letter model -------------------------------------------------------------------------

// What a UTF-16 unit is to the model. Letters carry their model number besides.
enum Kind : std::uint8_t {
    kRuLower,
    kRuUpper,
    kEnLower,
    kEnUpper,
    kSpace,
    kLineBreak,  // also the tab
    kDigit,
    kPunctuation,    // . , - : ; ! ? ( ) " '
    kAsciiSymbol,    // the rest of printable ASCII
    kTypographic,    // « » — – … № „ “ ” ‘ ’ and the no-break space
    kForeignLetter,  // a letter of neither alphabet: é, Ð, ї, Ђ, α
    kRareSymbol,     // ‚ € ™ ¤ ¦ § © ® ° ± µ ¶ · and the like
    kBoxDrawing,     // box drawing, blocks and the mathematical signs of KOI8-R
    kControl,        // control characters but tab and line breaks
    kOther,          // anything else (other scripts, surrogates, ...)
    kKinds
};

// The cost in eighths of a bit of each character that is no letter of a word.
constexpr std::array<int, kKinds> kKindCost{
    0,   0, 0, 0,  // letters: the word model
    16,            // space
    32,            // line break
    32,            // digit
    40,            // punctuation
    52,            // ASCII symbol
    56,            // typographic
    96,            // foreign letter
    88,            // rare symbol
    96,            // box drawing
    128,           // control
    80,            // other
};
// A word that changes script in its middle (Latin and Cyrillic letters run together).
constexpr int kMixedScriptCost = 12 * 8;

struct CharInfo {
    std::array<Kind, 0x10000> kind;
    std::array<std::uint8_t, 0x10000> letter;  // model number of a letter, 1-based
};

const CharInfo& Info() {
    static const CharInfo* const info = [] {
        auto* i = new CharInfo;
        i->letter.fill(0);
        for (std::size_t c = 0; c < 0x10000; ++c) {
            Kind k = kOther;
            if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
                k = kControl;
            } else if (c < 0x80) {
                k = kAsciiSymbol;
            } else if ((c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) ||
                       (c >= 0x370 && c <= 0x3FF) || (c >= 0x400 && c <= 0x52F)) {
                k = kForeignLetter;
            } else if (c >= 0xA0 && c <= 0xBF) {
                k = kRareSymbol;
            } else if ((c >= 0x2500 && c <= 0x25FF) || (c >= 0x2200 && c <= 0x23FF) || c == 0xF7 ||
                       c == 0xD7) {
                k = kBoxDrawing;
            } else if ((c >= 0x2000 && c <= 0x20CF) || c == 0x2122 || c == 0x2116 ||
                       (c >= 0x2C6 && c <= 0x2DC)) {
                k = kRareSymbol;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                k = kOther;
            }
            i->kind[c] = k;
        }
        for (char16_t c = u'0'; c <= u'9'; ++c) i->kind[c] = kDigit;
        for (char16_t c : std::u16string_view(u".,-:;!?()\"'")) i->kind[c] = kPunctuation;
        for (char16_t c : std::u16string_view(u"«»—–…№„“”‘’\u00A0")) i->kind[c] = kTypographic;
        i->kind[u' '] = kSpace;
        for (char16_t c : std::u16string_view(u"\t\n\r")) i->kind[c] = kLineBreak;
        for (int k = 0; k < 26; ++k) {
            i->kind[u'a' + k] = kEnLower, i->letter[u'a' + k] = static_cast<std::uint8_t>(k + 1);
            i->kind[u'A' + k] = kEnUpper, i->letter[u'A' + k] = static_cast<std::uint8_t>(k + 1);
        }
        // а..е, ё, ж..я: the model's order, which is the letter tables' order too. Taken from
        // no table, so that the map is right whenever it is first built.
        const auto cyrillic = [&](char16_t lower, int index) {
            const auto upper = static_cast<char16_t>(lower == u'ё' ? u'Ё' : lower - 0x20);
            i->kind[lower] = kRuLower, i->letter[lower] = static_cast<std::uint8_t>(index);
            i->kind[upper] = kRuUpper, i->letter[upper] = static_cast<std::uint8_t>(index);
        };
        for (char16_t c = u'а'; c <= u'я'; ++c) cyrillic(c, c - u'а' + 1 + (c > u'е'));
        cyrillic(u'ё', 7);
        return i;
    }();
    return *info;
}

// The case of a word's letters beyond what the model says: lower case is free, a capital first
// letter or all capitals cost a little, anything else (wHAT, оПХБЕР) much more.
int CaseCost(int length, int capitals, bool firstCapital, int switches) {
    if (capitals == 0) return 0;
    if (capitals == length) return length == 1 ? 16 : 32;
    if (capitals == 1 && firstCapital) return 16;
    return 48 + 16 * switches;
}

// What a Russian letter read from Translit may have been: the letters (model numbers, one or two)
// that Translit writes alike. и is also й (both i), е also ё and э (e), ц also тс (ts), я also
// иа and йа (ia), ю also иу and йу (iu). The first spelling is the letter itself.
struct Spellings {
    int count = 1;
    std::array<std::array<std::uint8_t, 2>, 3> letters{};  // 0: no second letter
};

constexpr std::uint8_t kA = 1, kE = 6, kYo = 7, kI = 10, kShortI = 11, kS = 19, kT = 20, kU = 21,
                       kTs = 24, kEh = 31, kYu = 32, kYa = 33;

constexpr std::array<Spellings, model::kRussianSymbols> kTranslitSpellings = [] {
    std::array<Spellings, model::kRussianSymbols> s{};
    for (std::size_t c = 0; c < s.size(); ++c) s[c].letters[0] = {static_cast<std::uint8_t>(c), 0};
    s[kI] = {2, {{{kI, 0}, {kShortI, 0}}}};
    s[kE] = {3, {{{kE, 0}, {kYo, 0}, {kEh, 0}}}};
    s[kTs] = {2, {{{kTs, 0}, {kT, kS}}}};
    s[kYa] = {3, {{{kYa, 0}, {kI, kA}, {kShortI, kA}}}};
    s[kYu] = {3, {{{kYu, 0}, {kI, kU}, {kShortI, kU}}}};
    return s;
}();

// The word model's state within a word: the two letters before and the cost so far. A word read
// from Translit may have been any of several Russian words, and keeps one state for each pair of
// letters it may end in (at most 9), the cheapest way there.
struct WordState {
    std::uint8_t a = 0, b = 0;
    std::int64_t cost = 0;
};
constexpr int kMaxStates = 16;

// The cost of a text in eighths of a bit. With `kSpelled`, each Russian word is scored as the
// cheapest of the Russian words that Translit writes as it is written (kTranslitSpellings).
template <bool kSpelled>
std::int64_t WordsCost(std::u16string_view text) {
    const CharInfo& info = Info();
    std::int64_t cost = 0;
    int script = -1;  // -1 no word; 0 Russian; 1 English
    // The word's one state; with several (count > 1) they are in `states`.
    int a = 0, b = 0;
    std::int64_t word = 0;
    std::array<WordState, kMaxStates> states{}, next{};
    int count = 1;
    int length = 0, capitals = 0, switches = 0;
    bool firstCapital = false, lastCapital = false;
    const std::uint8_t* table = nullptr;
    int n = 0;
    const auto at = [&](int x, int y, int z) { return table[(x * n + y) * n + z]; };
    const auto endWord = [&] {
        std::int64_t best = word + at(a, b, 0);
        if (count > 1) {
            best = states[0].cost + at(states[0].a, states[0].b, 0);
            for (int k = 1; k < count; ++k) {
                best = std::min(best, states[k].cost + at(states[k].a, states[k].b, 0));
            }
        }
        cost += best + CaseCost(length, capitals, firstCapital, switches);
        script = -1;
    };
    // Each state followed by each spelling of a letter, the cheapest way to each pair kept.
    const auto spell = [&](const Spellings& sp) {
        if (count == 1)
            states[0] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), word};
        int out = 0;
        for (int k = 0; k < count; ++k) {
            for (int v = 0; v < sp.count; ++v) {
                const auto [x, y] = sp.letters[v];
                WordState w{states[k].b, x, states[k].cost + at(states[k].a, states[k].b, x)};
                if (y != 0) w = {x, y, w.cost + at(w.a, x, y)};
                int j = 0;
                while (j < out && (next[j].a != w.a || next[j].b != w.b)) ++j;
                if (j == out) {
                    next[out++] = w;
                } else if (w.cost < next[j].cost) {
                    next[j].cost = w.cost;
                }
            }
        }
        std::copy_n(next.begin(), out, states.begin());
        count = out;
        if (count == 1) a = states[0].a, b = states[0].b, word = states[0].cost;
    };
    for (const char16_t c : text) {
        const Kind kind = info.kind[c];
        if (kind <= kEnUpper) {
            const int s = kind <= kRuUpper ? 0 : 1;
            const bool capital = kind == kRuUpper || kind == kEnUpper;
            if (script != s) {
                if (script >= 0) {
                    endWord();
                    cost += kMixedScriptCost;
                }
                script = s;
                table = s == 0 ? model::kRussian : model::kEnglish;
                n = s == 0 ? model::kRussianSymbols : model::kEnglishSymbols;
                a = b = 0;
                word = 0;
                count = 1;
                length = capitals = switches = 0;
                firstCapital = capital;
                lastCapital = capital;
            }
            const int letter = info.letter[c];
            if (kSpelled && s == 0 && (count > 1 || kTranslitSpellings[letter].count > 1)) {
                spell(kTranslitSpellings[letter]);
            } else {
                word += at(a, b, letter);
                a = b, b = letter;
            }
            switches += length > 0 && capital != lastCapital;
            capitals += capital;
            lastCapital = capital;
            ++length;
        } else {
            if (script >= 0) endWord();
            cost += kKindCost[kind];
        }
    }
    if (script >= 0) endWord();
    return cost;
}

std::int64_t Cost(std::u16string_view text, bool translit = false) {
    return translit ? WordsCost<true>(text) : WordsCost<false>(text);
}

// ---- Keyboard layouts ------------------------------------------------------------------------

// The characters of the US English layout's keys and what the same keys give on the Russian one.
constexpr std::u16string_view kEnglishKeys =
    u"qwertyuiop[]asdfghjkl;'zxcvbnm,./QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>?`~@#$^&|";
constexpr std::u16string_view kRussianKeys =
    u"йцукенгшщзхъфывапролджэячсмитьбю.ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ,ёЁ\"№;:?/";
static_assert(kEnglishKeys.size() == kRussianKeys.size());

bool HasLatinLetter(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    });
}

bool HasCyrillic(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char16_t c) { return c >= 0x400 && c <= 0x4FF; });
}

// ---- The readings -------------------------------------------------------------------------------

// The clipboard text converted from `source` to Unicode, as ConvertText converts it.
std::u16string FromFormat(TextFormat source, std::u16string_view body) {
    std::u16string text(body);
    text.push_back(u'\0');
    ConvertText(source, kUnicode, text);
    text.resize(std::min(text.size(), text.find(u'\0')));
    return text;
}

// Bytes shown in `shown` that were really in `real` (nothing when a character has no byte).
std::optional<std::u16string> Reencode(std::u16string_view body, Charset shown,
                                       std::optional<Charset> real) {
    const auto bytes = EncodeCharset(shown, body);
    if (!bytes) return std::nullopt;
    if (!real) return DecodeUtf8(*bytes);
    return DecodeCharset(*real, *bytes);
}

}  // namespace

std::string_view ReadingName(ReadingKind kind) {
    constexpr std::array<std::string_view, kReadingKinds> kNames{
        "as it is",
        "Translit",
        "KOI8",
        "CP 1251",
        "UTF-8 read as CP 1251",
        "UTF-8 read as KOI8-R",
        "UTF-8 read as CP 1252",
        "CP 1251 read as KOI8-R",
        "KOI8-R read as CP 1251",
        "Russian typed on the English layout",
        "English typed on the Russian layout",
    };
    return kNames[static_cast<std::size_t>(kind)];
}

double Margin(ReadingKind kind, double asIsCost, bool latinOnly) {
    if (kind == ReadingKind::kTranslitText) {
        return latinOnly ? kTranslitMarginBits + kTranslitMarginShare * asIsCost
                         : kMixedTranslitMarginBits + kMixedTranslitMarginShare * asIsCost;
    }
    if (kind == ReadingKind::kRussianOnEnglishKeys || kind == ReadingKind::kEnglishOnRussianKeys) {
        return kLayoutMarginBits + kMarginShare * asIsCost;
    }
    return kMarginBits + kMarginShare * asIsCost;
}

double TextCost(std::u16string_view text) { return static_cast<double>(Cost(text)) / 8.0; }

std::u16string SwapLayout(std::u16string_view text, bool russian) {
    // Each unit's character on the other layout, itself where it is no key there.
    using Map = std::array<char16_t, 0x10000>;
    static const std::array<Map, 2>* const maps = [] {
        auto* m = new std::array<Map, 2>;
        for (int way = 0; way < 2; ++way) {
            Map& map = (*m)[way];
            for (std::size_t c = 0; c < map.size(); ++c) map[c] = static_cast<char16_t>(c);
            const std::u16string_view from = way == 1 ? kEnglishKeys : kRussianKeys;
            const std::u16string_view to = way == 1 ? kRussianKeys : kEnglishKeys;
            for (std::size_t i = 0; i < from.size(); ++i) map[from[i]] = to[i];
        }
        return m;
    }();
    const Map& map = (*maps)[russian ? 1 : 0];
    std::u16string out(text.size(), u'\0');
    std::transform(text.begin(), text.end(), out.begin(), [&](char16_t c) { return map[c]; });
    return out;
}

std::vector<Reading> ListReadings(std::u16string_view text) {
    const std::u16string_view body = text.substr(0, text.find(u'\0'));
    std::vector<Reading> readings;
    std::vector<std::u16string> seen;  // the Unicode text of each reading listed
    // A Translit text of Latin letters alone is scored as the Russian it may have been written
    // from (the Translit reader's е may have been э, ...); one with Cyrillic words of its own
    // keeps their letters.
    const bool latinOnly = !HasCyrillic(body);
    const auto add = [&](ReadingKind kind, TextFormat source, bool original,
                         std::optional<std::u16string> unicode) {
        if (!unicode) return;
        if (std::find(seen.begin(), seen.end(), *unicode) != seen.end()) return;
        Reading r;
        r.kind = kind;
        r.source = source;
        r.original = original;
        const bool translit = kind == ReadingKind::kTranslitText && latinOnly;
        r.score = -static_cast<double>(Cost(*unicode, translit)) / 8.0;
        if (!original) r.text = *unicode;
        readings.push_back(std::move(r));
        seen.push_back(std::move(*unicode));
    };

    add(ReadingKind::kAsIs, kUnicode, true, std::u16string(body));
    // The Translit reader changes only Latin letters and its marks, the 8-bit sources only the
    // units of their letters' bytes: texts without them are spared reading.
    const bool translit = std::any_of(body.begin(), body.end(), [](char16_t c) {
        return c < 0x80 && (((c | 0x20) >= u'a' && (c | 0x20) <= u'z') ||
                            std::u16string_view(u"'\"\\_<").find(c) != std::u16string_view::npos);
    });
    const bool eightBit =
        std::any_of(body.begin(), body.end(), [](char16_t c) { return c >= 0xA3 && c <= 0xFF; });
    if (translit) add(ReadingKind::kTranslitText, kTranslit, true, FromFormat(kTranslit, body));
    if (eightBit) {
        add(ReadingKind::kKoi8Bytes, kKoi8, true, FromFormat(kKoi8, body));
        add(ReadingKind::kCp1251Bytes, kCp1251, true, FromFormat(kCp1251, body));
    }
    add(ReadingKind::kUtf8AsCp1251, kUnicode, false, Reencode(body, Charset::kWindows1251, {}));
    add(ReadingKind::kUtf8AsKoi8R, kUnicode, false, Reencode(body, Charset::kKoi8R, {}));
    add(ReadingKind::kUtf8AsCp1252, kUnicode, false, Reencode(body, Charset::kWindows1252, {}));
    add(ReadingKind::kCp1251AsKoi8R, kUnicode, false,
        Reencode(body, Charset::kKoi8R, Charset::kWindows1251));
    add(ReadingKind::kKoi8RAsCp1251, kUnicode, false,
        Reencode(body, Charset::kWindows1251, Charset::kKoi8R));
    if (HasLatinLetter(body) && !HasCyrillic(body)) {
        add(ReadingKind::kRussianOnEnglishKeys, kUnicode, false, SwapLayout(body, true));
    }
    if (HasCyrillic(body) && !HasLatinLetter(body)) {
        add(ReadingKind::kEnglishOnRussianKeys, kUnicode, false, SwapLayout(body, false));
    }

    // The text as it is first, unless the best of the others that beat it by their margin.
    const double asIs = readings.front().score;
    const auto byScore = [](const Reading& x, const Reading& y) { return x.score > y.score; };
    std::stable_sort(readings.begin() + 1, readings.end(), byScore);
    const auto better = std::find_if(readings.begin() + 1, readings.end(), [&](const Reading& r) {
        return r.score - asIs > Margin(r.kind, -asIs, latinOnly);
    });
    if (better != readings.end()) {
        std::rotate(readings.begin(), better, better + 1);
        // The text as it is goes back among the others by its score.
        std::stable_sort(readings.begin() + 1, readings.end(), byScore);
    }
    return readings;
}

void ConvertWithReading(const Reading& reading, TextFormat dest, std::u16string& text) {
    if (reading.original) {
        ConvertText(reading.source, dest, text);
        return;
    }
    const bool terminated = text.find(u'\0') != std::u16string::npos;
    text = reading.text;
    if (terminated) text.push_back(u'\0');
    ConvertText(reading.source, dest, text);
}

std::vector<Reading> ConvertAuto(TextFormat dest, std::u16string& text) {
    std::vector<Reading> readings = ListReadings(text);
    ConvertWithReading(readings.front(), dest, text);
    return readings;
}

}  // namespace litvorot
