#include "detect/modDetect.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "convert/modTextRoutines.h"
#include "convert/modTranslit.h"
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
    kForeignLetter,  // a letter of neither alphabet: é, Ð, Ђ, α
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
// The characters that are no part of Russian or English text: a reading that adds them makes a
// text no likelier as either, whatever their cost.
constexpr std::array<bool, kKinds> kJunk{false, false, false, false, false, false, false, false,
                                         true,  false, true,  true,  true,  true,  true};
// Box drawing, rare symbols and control characters next to a letter («Укра╖на», «¦ДУХФО¦»), on
// either side, cost this much more: in text they stand apart from words.
constexpr int kGluedJunkCost = 4 * 8;
constexpr std::array<bool, kKinds> kGlues{false, false, false, false, false, false, false, false,
                                          false, false, false, true,  true,  true,  true};
// Typography out of its place: a dash or an ellipsis run into the next word, a guillemet on the
// wrong side of one.
constexpr int kMisplacedCost = 6 * 8;
// A word that changes script in its middle (Latin and Cyrillic letters run together).
constexpr int kMixedScriptCost = 12 * 8;
// A Cyrillic capital of neither alphabet (Ђ Љ Њ Ћ Џ...) run into a Russian word, on either side,
// costs as much: Russian writes no such letter, and MacCyrillic read as CP 1251 leaves them at
// the start of words («Њогут», «Ћсновным», «Ќа» for «Могут», «Основным», «На»).
constexpr int kForeignInWordCost = kMixedScriptCost;
// «Я», «Ю» or «Э» ending a Russian word of small letters, beyond the word's change of case: no
// abbreviation or unit ends so («мкФ», «кВ» do), but MacCyrillic's «я» and «ё» are CP 1251's «Я»
// and «Ю», and ISO 8859-5's «н о п» are its «Э Ю Я».
constexpr int kCapitalLastCost = 16 * 8;
// A small letter before capitals alone, beyond the change of case: KOI8-R and CP 1251 make it of
// each other's capitalised words («лЕМЕДФЕП» for «Менеджер», «мЕ» for «Не»); a good word seldom
// has that shape, but for a unit («мА», «кВА»: see `abbreviationReadAsNoWord`) and Latin names
// («iOS», «eBPF»), which no reading of theirs gives another shape.
constexpr int kSmallBeforeCapitalsCost = 16 * 8;
// «ы» beginning a Russian word, beyond what the model says: no word of the lists begins so, but
// Translit writes «ы» as «y», with which many English words and names begin («Yasuo» is no
// «Ыасуо»).
constexpr int kInitialYeryCost = 12 * 8;
// A word of one letter that no text writes as a word, beyond what the model says: English writes
// «a» and «I», Russian «а в и к о с у я ж»; the model, made from word lists that hold every letter,
// takes the others for words far too readily. Translit writes Russian's words of one letter as
// «v», «s», «k», «u», «i», «o» («v tot» is «в тот»). Not one before a full stop or a bracket:
// initials and abbreviations («J. Smith», «т.е.», «e.g.»), the items of a list («б)»); nor a
// Russian capital, which names a point, a variable or an item as often («число Н», «пункт Б»),
// but «Р», MacCyrillic's en dash in CP 1251.
constexpr int kLoneLetterCost = 8 * 8;

// A word of the word lists (whole, in the usual case: Scorer::EndWord) costs this much less than
// its letters. Of one or two letters, less: one pair of letters in ten is a word of either list,
// and the letters that are words are few but frequent («в», «a»).
constexpr int kKnownWordBonus = 12 * 8;
constexpr int kShortWordBonus = 6 * 8;
constexpr int kLeastWordCost = 1 * 8;

// How much likelier as first letters of English words English typed on the Russian layout must
// make the letters of a lone abbreviation that is no word of the lists, to read it.
constexpr int kAbbreviationMarginBits = 6;

// The lexicon keeps ё (model number 7) as е (6).
constexpr std::uint8_t Folded(int letter) {
    return static_cast<std::uint8_t>(letter == 7 ? 6 : letter);
}

// Whether the lexicon holds the word of hash `h` (FNV-1a over its script and its letters).
constexpr std::uint64_t kFnvOffset = 0xCBF29CE484222325u;
constexpr std::uint64_t Fnv(std::uint64_t h, std::uint8_t byte) {
    return (h ^ byte) * 0x100000001B3u;
}

constexpr std::uint64_t LexiconMixed(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDu;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53u;
    return h ^ (h >> 33);
}

// Every probe of a word in one block of 512 bits (a cache line): one memory access a word.
const std::uint64_t* LexiconBlock(std::uint64_t mixed) {
    return model::kLexicon + ((mixed >> (64 - (model::kLexiconLog2 - 9))) << 3);
}

// The lexicon's hash of a word before its letters: the script's number (0 Russian, 1 English) and
// one, then Fnv of each letter as the word list keeps it (CharInfo::Unit::listed).
constexpr std::uint64_t LexiconHashOf(int script) {
    return Fnv(kFnvOffset, static_cast<std::uint8_t>(script + 1));
}

// Whether the word of hash `h`, Russian letters hashed as a web word's (LexiconHashOf(2)), is one
// of the web's list that the dictionary lacks: an exact look-up, for the few words asked about.
bool KnownWebOnly(std::uint64_t h) {
    return std::binary_search(model::kWebOnly, model::kWebOnly + model::kWebOnlyCount,
                              LexiconMixed(h));
}

bool Known(std::uint64_t h) {
    h = LexiconMixed(h);
    const std::uint64_t* block = LexiconBlock(h);
    const std::uint64_t h1 = h & 0xFFFFFFFFu, h2 = ((h >> 32) & 0xFFFFu) | 1u;
    for (std::uint64_t i = 0; i < model::kLexiconHashes; ++i) {
        const std::uint64_t bit = (h1 + i * h2) & 511u;
        if (!((block[bit >> 6] >> (bit & 63)) & 1u)) return false;
    }
    return true;
}

// The letters of Ukrainian and Belarusian (і ї є ґ ў) count as the Russian letter nearest them
// (и и е г у), for this much more.
constexpr int kNeighbourLetterCost = 3 * 8;

// What the model knows of each UTF-16 unit, in one place so that scoring a character reads one.
// Every unit from U+2600 on is kOther, as a unit no code page has.
struct CharInfo {
    struct Unit {
        Kind kind = kOther;
        std::uint8_t letter = 0;  // model number of a letter, 1-based
        std::uint8_t extra = 0;   // what the letter costs beyond the model's
        std::uint8_t listed = 0;  // the letter as the word list keeps it (Folded, і ї є ґ ў apart)
    };
    std::array<Unit, kCharsetUnits> at;
    const Unit& operator[](char16_t c) const {
        static constexpr Unit kAbove{};
        return c < kCharsetUnits ? at[c] : kAbove;
    }
};

const CharInfo& Info() {
    static const CharInfo* const info = [] {
        auto* i = new CharInfo;
        for (std::size_t c = 0; c < kCharsetUnits; ++c) {
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
            i->at[c].kind = k;
        }
        for (char16_t c = u'0'; c <= u'9'; ++c) i->at[c].kind = kDigit;
        for (char16_t c : std::u16string_view(u".,-:;!?()\"'")) i->at[c].kind = kPunctuation;
        for (char16_t c : std::u16string_view(u"«»—–…№„“”‘’\u00A0")) i->at[c].kind = kTypographic;
        i->at[u' '].kind = kSpace;
        // The underscore joins the words of names (file_name) and separates letters in Translit
        // (t_s): it costs what a space does, so that no reading gains by taking it away.
        i->at[u'_'].kind = kSpace;
        for (char16_t c : std::u16string_view(u"\t\n\r")) i->at[c].kind = kLineBreak;
        for (int k = 0; k < 26; ++k) {
            const auto letter = static_cast<std::uint8_t>(k + 1);
            i->at[u'a' + k] = {kEnLower, letter, 0, letter};
            i->at[u'A' + k] = {kEnUpper, letter, 0, letter};
        }
        // а..е, ё, ж..я: the model's order, which is the letter tables' order too. Taken from
        // no table, so that the map is right whenever it is first built.
        const auto cyrillic = [&](char16_t lower, int index) {
            const auto upper = static_cast<char16_t>(lower == u'ё' ? u'Ё' : lower - 0x20);
            const auto letter = static_cast<std::uint8_t>(index);
            i->at[lower] = {kRuLower, letter, 0, Folded(letter)};
            i->at[upper] = {kRuUpper, letter, 0, Folded(letter)};
        };
        for (char16_t c = u'а'; c <= u'я'; ++c) cyrillic(c, c - u'а' + 1 + (c > u'е'));
        cyrillic(u'ё', 7);
        // The word list keeps them as letters of their own, after the Russian ones.
        std::uint8_t listed = model::kRussianSymbols;
        const auto neighbour = [&](char16_t lower, char16_t upper, char16_t russian) {
            const std::uint8_t index = i->at[russian].letter;
            i->at[lower] = {kRuLower, index, kNeighbourLetterCost, listed};
            i->at[upper] = {kRuUpper, index, kNeighbourLetterCost, listed};
            ++listed;
        };
        neighbour(u'і', u'І', u'и');
        neighbour(u'ї', u'Ї', u'и');
        neighbour(u'є', u'Є', u'е');
        neighbour(u'ґ', u'Ґ', u'г');
        neighbour(u'ў', u'Ў', u'у');
        return i;
    }();
    return *info;
}

// Whether the unit is a letter, a small letter, a capital, of either alphabet.
bool IsLetter(char16_t c) { return Info()[c].kind <= kEnUpper; }
bool IsSmall(char16_t c) {
    const Kind kind = Info()[c].kind;
    return kind == kRuLower || kind == kEnLower;
}
bool IsCapital(char16_t c) {
    const Kind kind = Info()[c].kind;
    return kind == kRuUpper || kind == kEnUpper;
}

constexpr bool IsWhiteSpace(char16_t c) {
    return c <= u' ' && (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r');
}

// The text without the white space around it: a line copied whole ends in a line break.
std::u16string_view Trimmed(std::u16string_view text) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsWhiteSpace);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsWhiteSpace).base();
    return first < last ? std::u16string_view(&*first, static_cast<std::size_t>(last - first))
                        : std::u16string_view();
}

// Whether the text is a letter alone, white space around it aside: it tells nothing of how it
// came about, by any reading («Р» is no «а» of ISO 8859-5, «Ё» no «и» of 866).
bool IsLoneLetter(std::u16string_view text) {
    const std::u16string_view trimmed = Trimmed(text);
    return trimmed.size() == 1 && IsLetter(trimmed[0]);
}

// The case of a word's letters beyond what the model says: lower case is free, a capital first
// letter or all capitals cost a little, anything else (wHAT, оПХБЕР) much more.
int CaseCost(int length, int capitals, bool firstCapital, int switches) {
    if (capitals == 0) return 0;
    if (capitals == length) return length == 1 ? 16 : 32;
    if (capitals == 1 && firstCapital) return 16;
    const int mixed = 48 + 16 * switches;
    if (!firstCapital && capitals == length - 1) {
        return mixed + kSmallBeforeCapitalsCost;
    }
    return mixed;
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

// The cost of a text in eighths of a bit, fed a character at a time. With `kSpelled`, each
// Russian word is scored as the cheapest of the Russian words that Translit writes as it is
// written (kTranslitSpellings). Counts the characters that are no part of Russian or English
// text besides.
template <bool kSpelled>
class Scorer {
  public:
    Scorer() : info_(Info()) {}

    void Add(char16_t c) {
        const Kind kind = info_[c].kind;
        if (kind <= kEnUpper) {
            quoted_ |= kind <= kRuUpper && beforeCyrillic_;
            rare_ += asciiBefore_;
            asciiBefore_ = false;
            if (script_ < 0) {
                standsAlone_ = wordMayStart_;
                // Two words run together through a character other than the hyphen («hex decimal»
                // with a no-break space, «Dis№lay», «BOO’P»): neither is a whole word.
                whole_ = !cutLast_ && !glued_;
                cost_ += keptBonus_;
                if (c == u'ы' || c == u'Ы') cost_ += kInitialYeryCost;
                quotedByApostrophe_ = apostropheBefore_;
            }
            apostropheAfter_ = apostropheBefore_ = false;
            glued_ = false;
            keptBonus_ = 0;
            cost_ += beforeLetter_;
            beforeLetter_ = 0;
            if (foreignBefore_ && kind <= kRuUpper) cost_ += kForeignInWordCost;
            foreignBefore_ = false;
            beforeCyrillic_ = false;
            afterSpace_ = false;
            Letter(c, kind);
            return;
        }
        // An opening quote that opens nothing: white space (or the end) right after it.
        if (opening_ && (kind == kSpace || kind == kLineBreak)) cost_ += kMisplacedCost;
        opening_ = c == u'‘' || c == u'“' || c == u'„' || c == u'‚';
        const bool afterLetter = script_ >= 0;
        EndApostrophe();
        // An apostrophe that ends an English word is a plural's possessive («users'») or closes a
        // quote it opened («'word'»); else it is out of its place, and mostly Translit's soft sign
        // («est'», «den'»). One followed by a letter is inside a word («don't»).
        apostropheAfter_ =
            c == u'\'' && script_ == 1 && !quotedByApostrophe_ && last_ != u's' && last_ != u'S';
        apostropheBefore_ = c == u'\'' && !afterLetter;
        // A word that a letter of neither alphabet or junk runs into is no whole word («Формату╓»).
        const bool cuts = kind == kForeignLetter || kJunk[kind];
        if (cuts) whole_ = false;
        cutLast_ = cuts;
        // A capital of neither alphabet pays once, after a Russian letter or before one. The small
        // letters are left alone: Serbian and Macedonian words are written with them («његова»).
        const bool afterRussian = script_ == 0;
        const bool foreignCapital = kind == kForeignLetter && c >= u'\u0400' && c <= u'\u040F';
        if (foreignCapital && afterRussian) cost_ += kForeignInWordCost;
        foreignBefore_ = foreignCapital && !afterRussian;
        // A Russian word after an English opening quote pays for it where it ends, unless the
        // quote closes there: «‘так’» is a word in quotes.
        if (afterLetter && quoted_ && c != u'’' && c != u'”') cost_ += kMisplacedCost;
        quoted_ = false;
        glued_ = false;
        keptBonus_ = 0;
        if (afterLetter) {
            EndWordBefore(kind == kSpace || kind == kLineBreak ||
                          std::u16string_view(u",;:!?»\"”…").find(c) != std::u16string_view::npos);
            glued_ = kind != kSpace && kind != kLineBreak && c != u'-';
            keptBonus_ = glued_ ? takenBonus_ : 0;
            if (kGlues[kind]) cost_ += kGluedJunkCost;
            if (c == u'«') cost_ += kMisplacedCost;  // an opening guillemet after a letter
        } else if (c == u'»') {
            cost_ += kMisplacedCost;  // a closing guillemet after no word: «» наконец»
        }
        cost_ += kKindCost[kind];
        junk_ += kJunk[kind];
        // An ASCII symbol counts where it touches a letter («d[jl»), not standing alone («###»).
        rare_ += kJunk[kind] && (kind != kAsciiSymbol || afterLetter);
        asciiBefore_ = kind == kAsciiSymbol && !afterLetter;
        // What a letter right after it costs more: box drawing and the like glued to a word, a
        // dash, an ellipsis or a closing guillemet run into one («…сли», «—тобы»).
        beforeLetter_ = kGlues[kind] ? kGluedJunkCost : 0;
        if (c == u'—' || c == u'–' || c == u'…' || c == u'»') beforeLetter_ += kMisplacedCost;
        // A closing quote that follows no word, run into one («’ак», «”рагменты»); the English
        // opening quotes before a Russian word, which Russian opens with «, „ (and closes with “).
        if (!afterLetter && (c == u'’' || c == u'”')) beforeLetter_ += kMisplacedCost;
        // A comma or a semicolon after white space, run into a word («,elen»): no text puts one
        // so, but б and ж are those keys on the English layout («,elen» is «будут»).
        if ((c == u',' || c == u';') && afterSpace_) beforeLetter_ += kMisplacedCost;
        afterSpace_ = kind == kSpace || kind == kLineBreak;
        beforeCyrillic_ = c == u'‘' || c == u'“';
        wordMayStart_ = kind == kSpace || kind == kLineBreak ||
                        std::u16string_view(u"(«\"„“‘").find(c) != std::u16string_view::npos;
    }
    void Add(std::u16string_view text) {
        for (const char16_t c : text) Add(c);
    }
    // Adds `text` as far as the cost so far stays within `limit`: false where it went beyond.
    bool AddWithin(std::u16string_view text, std::int64_t limit) {
        for (const char16_t c : text) {
            Add(c);
            if (Running() > limit) return false;
        }
        return true;
    }

    // The cost so far. Ends the word being read: call it after white space or at the end.
    std::int64_t Cost() {
        if (script_ >= 0) EndWordBefore(true);
        EndApostrophe();
        if (opening_ || quoted_) cost_ += kMisplacedCost;
        opening_ = quoted_ = false;
        return cost_;
    }
    std::int64_t Junk() const { return junk_; }
    // The junk but ASCII symbols that touch no letter («#», «@» stand in good text too).
    std::int64_t Rare() const { return rare_; }
    // What a known word of `length` letters gains.
    static constexpr int Bonus(int length) {
        return length >= 3 ? kKnownWordBonus : kShortWordBonus;
    }
    // What the last word read gained for being known (after Cost()).
    int LastBonus() const { return known_ ? Bonus(length_) : 0; }

    // The cost so far with the word being read, as far as it has been read.
    std::int64_t Running() const { return cost_ + word_; }
    // Whether a word that only the web's word list has (a name mostly) counts as known. Not where
    // Translit reads Latin words: a Russian text that quotes a name in Latin letters wrote it so
    // («Мирослав Куре (Miroslav Kuře)»), and a Latin text's name is as often of its own language.
    void TakeWebWords(bool take) { webWords_ = take; }
    // Whether a Latin letter standing alone pays for it (LoneLetterCost). Not in a text with
    // Cyrillic letters, where it is a name of something («модификатор s», «ключ -v»), seldom
    // Translit.
    void ChargeLoneLatin(bool charge) { loneLatin_ = charge; }

    // Forgets the word being read: the cost and the junk are these, as between words.
    void Restart(std::int64_t cost, std::int64_t junk) {
        cost_ = cost;
        junk_ = junk;
        rare_ = 0;
        asciiBefore_ = false;
        script_ = -1;
        word_ = 0;
        count_ = 1;
        beforeLetter_ = 0;
        beforeCyrillic_ = opening_ = quoted_ = foreignBefore_ = cutLast_ = glued_ = false;
        apostropheAfter_ = apostropheBefore_ = quotedByApostrophe_ = false;
        afterSpace_ = wordMayStart_ = true;
        keptBonus_ = takenBonus_ = 0;
    }

  private:
    int At(int x, int y, int z) const { return table_[(x * n_ + y) * n_ + z]; }

    // Ends the word being read before a character that may end a word standing alone (white
    // space, the end, a comma...: `alone`), where a word of one letter that is no word pays.
    void EndWordBefore(bool alone) {
        const int script = script_;
        EndWord();
        if (alone) cost_ += LoneLetterCost(script);
    }

    // What the word just ended (of `script`) costs for being one letter that is no word, where
    // it stands as a word does: not in a code or a path («A4», «s/a/b/»), an option («-v»),
    // after an apostrophe («don't»).
    int LoneLetterCost(int script) const {
        if (length_ != 1 || !standsAlone_ || (script == 1 && !loneLatin_)) return 0;
        if (script == 0 && capitals_ != 0) return last_ == u'Р' ? kLoneLetterCost : 0;
        const std::u16string_view words =
            script == 0 ? u"авикосуяжзйіє" : u"aAI";  // Ukrainian's too
        return words.find(last_) == std::u16string_view::npos ? kLoneLetterCost : 0;
    }

    // An apostrophe after an English word that no letter followed.
    void EndApostrophe() {
        if (apostropheAfter_) cost_ += kMisplacedCost;
        apostropheAfter_ = false;
    }

    void EndWord() {
        std::int64_t best = word_ + At(a_, b_, 0);
        if (count_ > 1) {
            best = states_[0].cost + At(states_[0].a, states_[0].b, 0);
            for (int k = 1; k < count_; ++k) {
                best = std::min(best, states_[k].cost + At(states_[k].a, states_[k].b, 0));
            }
        }
        const std::int64_t word = best + CaseCost(length_, capitals_, firstCapital_, switches_);
        cost_ += word;
        // The bonus of a known word was taken off where the word began (so that the cost so far
        // never falls as a word goes on); it is given back unless the word is known. A word is
        // known only in lower case, Capitalised, or in capitals from five letters: «сыТ» is no
        // word, and short words in capitals are mostly abbreviations («VEN», «JIT»), which the
        // lists lack and some other reading may make a word of («ВЕН»).
        const bool usualCase = capitals_ == 0 || (firstCapital_ && capitals_ == 1) ||
                               (capitals_ == length_ && length_ > 4);
        known_ = whole_ && usualCase;
        if (known_) {
            if (kSpelled && script_ == 0 && length_ <= kMaxSpelled) {
                int budget = kMaxSpellings;
                known_ = KnownSpelling(0, LexiconHashOf(0), LexiconHashOf(2), budget);
            } else {
                known_ = Known(hash_) && (webWords_ || script_ != 0 || !KnownWebOnly(webHash_));
            }
        }
        // A known word still costs a bit at least: no word is likelier than one in two, and a
        // text's cost stays a cost («for» has letters of 11.6 bits).
        const int bonus = known_ ? Bonus(length_) : 0;
        const std::int64_t back =
            kKnownWordBonus - bonus +
            (known_ ? std::max<std::int64_t>(0, kLeastWordCost - (word - bonus)) : 0);
        cost_ += back;
        takenBonus_ = kKnownWordBonus - back;
        // A Russian word of small letters that ends in a capital «Я», «Ю» or «Э» alone («длЯ»,
        // «конечнаЯ»): a word in parts begins each part with a capital («МойОфис»).
        if (script_ == 0 && length_ >= 3 && !firstCapital_ && !capitalBefore_ &&
            (last_ == u'Я' || last_ == u'Ю' || last_ == u'Э')) {
            cost_ += kCapitalLastCost;
        }
        script_ = -1;
        word_ = 0;  // so that Running() counts the word once
    }

    // Whether some Russian word that Translit writes as the word read is known: its letters from
    // `i` on spelled every way, as far as `budget` spellings go (`h` the lexicon's hash so far,
    // `web` the hash of the web's words). The web's words alone count for nothing here: a name in
    // Latin letters is as often one of its own language («Morten», «Milan Kundera») as Translit.
    bool KnownSpelling(int i, std::uint64_t h, std::uint64_t web, int& budget) const {
        if (i == length_) return Known(h) && !KnownWebOnly(web);
        const Spellings& sp = kTranslitSpellings[spelled_[i]];
        for (int v = 0; v < sp.count; ++v) {
            const auto [x, y] = sp.letters[v];
            if (v > 0 && Folded(x) == Folded(sp.letters[v - 1][0]) && y == sp.letters[v - 1][1]) {
                continue;  // ё and е are one letter to the lexicon
            }
            if (--budget < 0) return false;
            std::uint64_t g = Fnv(h, Folded(x)), w = Fnv(web, Folded(x));
            if (y != 0) g = Fnv(g, Folded(y)), w = Fnv(w, Folded(y));
            if (KnownSpelling(i + 1, g, w, budget)) return true;
        }
        return false;
    }

    // Each state followed by each spelling of a letter, the cheapest way to each pair kept.
    void Spell(const Spellings& sp) {
        if (count_ == 1) {
            states_[0] = {static_cast<std::uint8_t>(a_), static_cast<std::uint8_t>(b_), word_};
        }
        int out = 0;
        for (int k = 0; k < count_; ++k) {
            for (int v = 0; v < sp.count; ++v) {
                const auto [x, y] = sp.letters[v];
                WordState w{states_[k].b, x, states_[k].cost + At(states_[k].a, states_[k].b, x)};
                if (y != 0) w = {x, y, w.cost + At(w.a, x, y)};
                int j = 0;
                while (j < out && (next_[j].a != w.a || next_[j].b != w.b)) ++j;
                if (j == out) {
                    next_[out++] = w;
                } else if (w.cost < next_[j].cost) {
                    next_[j].cost = w.cost;
                }
            }
        }
        std::copy_n(next_.begin(), out, states_.begin());
        count_ = out;
        if (count_ == 1) a_ = states_[0].a, b_ = states_[0].b, word_ = states_[0].cost;
    }

    void Letter(char16_t c, Kind kind) {
        const int s = kind <= kRuUpper ? 0 : 1;
        const bool capital = kind == kRuUpper || kind == kEnUpper;
        if (script_ != s) {
            if (script_ >= 0) {
                whole_ = false;
                EndWord();
                whole_ = false;
                cost_ += kMixedScriptCost;
            }
            script_ = s;
            table_ = s == 0 ? model::kRussian : model::kEnglish;
            n_ = s == 0 ? model::kRussianSymbols : model::kEnglishSymbols;
            a_ = b_ = 0;
            word_ = 0;
            count_ = 1;
            length_ = capitals_ = switches_ = 0;
            firstCapital_ = capital;
            lastCapital_ = capital;
            hash_ = LexiconHashOf(s);
            webHash_ = LexiconHashOf(2);
            cost_ -= kKnownWordBonus;
        }
        const int letter = info_[c].letter;
        cost_ += info_[c].extra;
        hash_ = Fnv(hash_, info_[c].listed);
        if (!webWords_) webHash_ = Fnv(webHash_, info_[c].listed);
        if (kSpelled && s == 0 && length_ < kMaxSpelled) {
            spelled_[length_] = static_cast<std::uint8_t>(letter);
        }
        if (kSpelled && s == 0 && (count_ > 1 || kTranslitSpellings[letter].count > 1)) {
            Spell(kTranslitSpellings[letter]);
        } else {
            word_ += At(a_, b_, letter);
            a_ = b_, b_ = letter;
        }
        switches_ += length_ > 0 && capital != lastCapital_;
        capitalBefore_ = lastCapital_;
        last_ = c;
        capitals_ += capital;
        lastCapital_ = capital;
        ++length_;
    }

    const CharInfo& info_;
    std::int64_t cost_ = 0, junk_ = 0, rare_ = 0;
    bool asciiBefore_ = false;  // the last character was an ASCII symbol after no letter
    int beforeLetter_ = 0;
    bool foreignBefore_ = false;       // the character before was a letter of neither alphabet
    bool beforeCyrillic_ = false;      // the last character was an English opening quote
    bool opening_ = false;             // the last character was an opening quote
    bool apostropheAfter_ = false;     // the last character was an apostrophe out of its place
    bool apostropheBefore_ = false;    // the last character was an apostrophe after no word
    bool quotedByApostrophe_ = false;  // the word being read (or the last) began after one
    bool quoted_ = false;              // the word being read follows an English opening quote
    int script_ = -1;                  // -1 no word; 0 Russian; 1 English
    // The word's one state; with several (count_ > 1) they are in `states_`.
    int a_ = 0, b_ = 0;
    std::int64_t word_ = 0;
    std::array<WordState, kMaxStates> states_{}, next_{};
    int count_ = 1;
    int length_ = 0, capitals_ = 0, switches_ = 0;
    bool firstCapital_ = false, lastCapital_ = false, capitalBefore_ = false;
    char16_t last_ = 0;          // the word's last letter
    std::uint64_t hash_ = 0;     // the word's letters as the lexicon keeps them
    std::uint64_t webHash_ = 0;  // and as it keeps the web's words the lists lack
    bool webWords_ = true;       // TakeWebWords
    bool loneLatin_ = true;      // ChargeLoneLatin
    static constexpr int kMaxSpelled = 24, kMaxSpellings = 64;
    std::array<std::uint8_t, kMaxSpelled> spelled_{};  // with kSpelled, the Russian word's letters
    bool whole_ = false;           // the word is whole, its letters all of its own alphabet
    bool cutLast_ = false;         // the last character was junk or a letter of neither alphabet
    bool known_ = false;           // the last word was a known word
    bool glued_ = false;           // the last character followed a word, and was no space or hyphen
    bool afterSpace_ = true;       // the last character was white space, or there was none
    bool wordMayStart_ = true;     // a word may stand alone after the last character (white space)
    bool standsAlone_ = false;     // the word being read (or the last) began so
    std::int64_t keptBonus_ = 0;   // what the word before it kept for being known
    std::int64_t takenBonus_ = 0;  // what the last word gained for being known
    const std::uint8_t* table_ = model::kRussian;
    int n_ = model::kRussianSymbols;
};

std::int64_t Cost(std::u16string_view text, bool translit = false, bool webWords = true,
                  bool loneLatin = true) {
    if (translit) {
        Scorer<true> s;
        s.ChargeLoneLatin(loneLatin);
        s.Add(text);
        return s.Cost();
    }
    Scorer<false> s;
    s.TakeWebWords(webWords);
    s.ChargeLoneLatin(loneLatin);
    s.Add(text);
    return s.Cost();
}

// The text with its capitals, Russian and English, in small letters.
std::u16string LowerCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if ((c >= u'A' && c <= u'Z') || (c >= u'А' && c <= u'Я')) {
            c = static_cast<char16_t>(c + 0x20);
        } else if (c >= 0x400 && c <= 0x40F) {
            c = static_cast<char16_t>(c + 0x50);  // Ё, І, Ї, Є, Ў and the rest of the row
        } else if (c == u'Ґ') {
            c = u'ґ';
        }
    }
    return out;
}

// What a text that is one word and no more gains for being a word of the lists, 0 if it is not
// one. An apostrophe in it is Translit's soft sign as likely as English («est'»). Without
// `webWords`, a word that only the web's list has is none (Scorer::TakeWebWords).
int KnownWordGain(std::u16string_view word, bool webWords = true) {
    Scorer<false> scorer;
    scorer.TakeWebWords(webWords);
    if (!word.empty() && std::none_of(word.begin(), word.end(), IsWhiteSpace) &&
        word.find(u'\'') == std::u16string_view::npos) {
        scorer.Add(word);
        scorer.Cost();
    }
    return scorer.LastBonus();
}

// `text` from the first character that is `letter` to the last one.
template <typename Letter>
std::u16string_view FirstToLast(std::u16string_view text, Letter letter) {
    const auto from = std::find_if(text.begin(), text.end(), letter);
    if (from == text.end()) return {};
    const auto to = std::find_if(text.rbegin(), text.rend(), letter).base();
    return text.substr(static_cast<std::size_t>(from - text.begin()),
                       static_cast<std::size_t>(to - from));
}

// `text` from its first Russian letter to its last: the word a reading gave, without the marks
// around it.
std::u16string_view RussianLetters(std::u16string_view text) {
    const CharInfo& info = Info();
    return FirstToLast(
        text, [&](char16_t c) { return info[c].kind == kRuLower || info[c].kind == kRuUpper; });
}

// Whether the letters of `read`, a word Translit read, from its first to its last make a word of
// the lists, in small letters or as they stand. Translit writes «й» as «i» («Nastroika»,
// «Slabyi»), which its reading gives as «и», and cannot tell «ц» from «тс» («zadaetsia» is
// «задается»): «и» after a vowel is also taken for «й», and «ц» for «тс».
//
// Only the dictionary's words count: a word that the web's word list alone has is a name mostly
// («Miroslav»), which a Russian text quotes in Latin letters as it is written.
bool KnownReading(std::u16string_view read) {
    const std::u16string_view word = RussianLetters(read);
    if (word.empty()) return false;
    const auto known = [](std::u16string_view w) { return KnownWordGain(w, false) != 0; };
    if (known(word)) return true;
    std::u16string lower = LowerCase(word);
    std::replace(lower.begin(), lower.end(), u'ё', u'е');
    std::u16string shortI = lower;
    for (std::size_t i = 1; i < shortI.size(); ++i) {
        if (shortI[i] == u'и' &&
            std::u16string_view(u"аеиоуыэюя").find(shortI[i - 1]) != std::u16string_view::npos) {
            shortI[i] = u'й';
        }
    }
    for (const std::u16string* w : {&lower, &shortI}) {
        if (w != &lower && *w == lower) continue;
        if (known(*w)) return true;
        if (w->find(u'ц') == std::u16string::npos) continue;
        std::u16string split;
        for (const char16_t c : *w) {
            if (c == u'ц') {
                split += u"тс";
            } else {
                split.push_back(c);
            }
        }
        if (known(split)) return true;
    }
    return false;
}

// Whether `read`, a reading of `word`, gives for the mark that begins it a capital that makes a
// word of the lists of the small letters after it, which are none without it, and changes
// nothing else: «…сли» as «Если», «’акже,» as «Также,». A good text's quotes and dashes before a
// word («“слово”», «—как») make no word so.
bool MarkForCapital(std::u16string_view word, std::u16string_view read) {
    const CharInfo& info = Info();
    if (word.size() < 3 || read.size() != word.size() || info[read[0]].kind != kRuUpper ||
        info[word[0]].kind == kRuUpper || info[word[0]].kind == kRuLower ||
        read.substr(1) != word.substr(1)) {
        return false;
    }
    std::size_t end = 1;
    while (end < word.size() && info[word[end]].kind == kRuLower) ++end;
    if (end < 3 ||
        std::any_of(word.begin() + static_cast<std::ptrdiff_t>(end), word.end(), IsLetter)) {
        return false;
    }
    // (The web's words alone are no words here: it has the forms a dictionary rejects, «ложить».)
    const std::u16string_view rest = word.substr(1, end - 1);
    return KnownWordGain(read.substr(0, end)) != 0 && KnownWordGain(rest, false) == 0;
}

// What the letters of a word cost as the first letters of words of their languages, in eighths of
// a bit: an abbreviation's, which are its words' first letters. Anything but a letter counts as
// the costliest letter.
std::int64_t InitialsCost(std::u16string_view word) {
    const CharInfo& info = Info();
    std::int64_t cost = 0;
    for (char16_t c : word) {
        const CharInfo::Unit& u = info[c];
        if (u.kind == kRuUpper || u.kind == kRuLower) {
            cost += model::kRussian[u.letter] + u.extra;
        } else if (u.kind == kEnUpper || u.kind == kEnLower) {
            cost += model::kEnglish[u.letter];
        } else {
            cost += 255;
        }
    }
    return cost;
}

// ---- Keyboard layouts and look-alike letters ---------------------------------------------------

// The characters of the US English layout's keys and what the same keys give on the Russian one.
constexpr std::u16string_view kEnglishKeys =
    u"qwertyuiop[]asdfghjkl;'zxcvbnm,./QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>?`~@#$^&|";
constexpr std::u16string_view kRussianKeys =
    u"йцукенгшщзхъфывапролджэячсмитьбю.ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ,ёЁ\"№;:?/";
static_assert(kEnglishKeys.size() == kRussianKeys.size());

// Latin letters and the Cyrillic ones that look the same (in most fonts, and to OCR).
constexpr std::u16string_view kLatinLookAlikes = u"aceopxykABCEHKMOPTXëË";
constexpr std::u16string_view kCyrillicLookAlikes = u"асеорхукАВСЕНКМОРТХёЁ";
static_assert(kLatinLookAlikes.size() == kCyrillicLookAlikes.size());

constexpr bool IsLatinLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
constexpr bool IsCyrillic(char16_t c) { return c >= 0x400 && c <= 0x4FF; }

// How many letters of Russian or English `text` has.
std::ptrdiff_t Letters(std::u16string_view text) {
    const CharInfo& info = Info();
    return std::count_if(text.begin(), text.end(),
                         [&](char16_t c) { return info[c].kind <= kEnUpper; });
}

bool HasLatinLetter(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), IsLatinLetter);
}

bool HasCyrillic(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), IsCyrillic);
}

// Whether `text` has a Latin letter with a mark or of another alphabet («ř», «é», «ß»), which
// no Translit writes: the word is of another language («Kuře», «Jürgen»).
bool HasForeignLatin(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) {
        return c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7;
    });
}

// Whether the letter at `k` of `word` is a capital run into the small letters before it that
// begins no word of its own, no small letter following it or the capitals after it («domU»,
// «PostgreSQL», «ОборудованиемB.4.2.»): a name written so, or an item number after a heading. No
// Russian word is written so, nor garbled into one by a reading that keeps the letters' case
// (Translit, Latin look-alikes). Words run together are words still («пакетовДоступ», a table of
// contents copied whole; «versiiIAvnye», Translit's «версииЯвные»).
bool CapitalRunIn(std::u16string_view word, std::size_t k) {
    const auto small = [&](std::size_t at) { return at < word.size() && IsSmall(word[at]); };
    const auto capital = [&](std::size_t at) { return at < word.size() && IsCapital(word[at]); };
    if (k == 0 || !small(k - 1) || !capital(k)) return false;
    std::size_t next = k;
    while (capital(next)) ++next;
    return !small(next);
}
bool HasCapitalRunIn(std::u16string_view word) {
    for (std::size_t k = 1; k < word.size(); ++k) {
        if (CapitalRunIn(word, k)) return true;
    }
    return false;
}

// Whether the Latin word is, in a Russian text, what it is rather than Translit: a conversion of
// a format («%s», «%3u»), an option («-K», «--help»), a name of code («OPR_IOR», «/etc/fstab»,
// «x86»), an abbreviation («PEM», «USB»; but a capital letter alone is Translit's «V», «S» as
// often). A Russian text that has them quotes them from programs; Translit within one is a phrase
// typed so, in small letters.
bool CodeOrAbbreviation(std::u16string_view word) {
    const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    int letters = 0, capitals = 0;
    bool digits = false;  // a digit run into a letter
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char16_t c = word[i];
        if (IsLatinLetter(c)) {
            ++letters;
            capitals += c <= u'Z';
            digits |= (i > 0 && digit(word[i - 1])) || (i + 1 < word.size() && digit(word[i + 1]));
        } else if (std::u16string_view(u"%_/\\=$@").find(c) != std::u16string_view::npos) {
            return std::any_of(word.begin(), word.end(), IsLatinLetter);
        }
    }
    if (letters == 0) return false;
    const std::size_t first = word.find_first_not_of(u"(\"«„“[");
    const bool option = first != std::u16string_view::npos && word[first] == u'-';
    return option || digits || (capitals == letters && letters >= 2 && letters <= 4);
}

// For each unit: its character on the other layout (0: English keys to Russian, 1: the other
// way), and its look-alike in the other script (2: Latin to Cyrillic, 3: Cyrillic to Latin),
// itself where it has none.
struct UnitMap {
    std::array<char16_t, kCharsetUnits> below;  // every unit from U+2600 on is itself
    char16_t operator[](char16_t c) const { return c < kCharsetUnits ? below[c] : c; }
};
const std::array<UnitMap, 4>& SwapMaps() {
    static const std::array<UnitMap, 4>* const maps = [] {
        auto* m = new std::array<UnitMap, 4>;
        const std::array<std::pair<std::u16string_view, std::u16string_view>, 4> pairs{{
            {kEnglishKeys, kRussianKeys},
            {kRussianKeys, kEnglishKeys},
            {kLatinLookAlikes, kCyrillicLookAlikes},
            {kCyrillicLookAlikes, kLatinLookAlikes},
        }};
        for (std::size_t way = 0; way < pairs.size(); ++way) {
            auto& map = (*m)[way].below;
            for (std::size_t c = 0; c < map.size(); ++c) map[c] = static_cast<char16_t>(c);
            const auto [from, to] = pairs[way];
            for (std::size_t i = 0; i < from.size(); ++i) map.at(from[i]) = to[i];
        }
        return m;
    }();
    return *maps;
}

// ---- The readings ---------------------------------------------------------------------------

// How a reading reads a text.
enum class Op : std::uint8_t {
    kAsIs,
    kTranslit,    // the Translit reader
    kBytes,       // each character's byte in `shown`, read in `real`
    kUtf8,        // the characters' bytes in `shown`, read as UTF-8
    kUtf8Twice,   // the same, and again on what that gives
    kToRussian,   // English keys read as the Russian layout's
    kToEnglish,   // Russian keys read as the English layout's
    kToCyrillic,  // in a word of Cyrillic letters, the Latin look-alikes made Cyrillic
    kToLatin,     // in a word of Latin letters, the Cyrillic look-alikes made Latin
};

struct Recipe {
    ReadingKind kind;
    Op op;
    Charset shown = Charset::kWindows1251;
    Charset real = Charset::kWindows1251;
};

using C = Charset;
using K = ReadingKind;
// Every reading but kPieces, in the order of ReadingKind: a reading's recipe is kRecipes[kind].
constexpr int kRecipeCount = kReadingKinds - 1;
constexpr std::array<Recipe, kRecipeCount> kRecipes{{
    {K::kAsIs, Op::kAsIs},
    {K::kTranslitText, Op::kTranslit},
    {K::kKoi8Bytes, Op::kBytes, C::kWindows1252, C::kKoi8R},
    {K::kCp1251Bytes, Op::kBytes, C::kWindows1252, C::kWindows1251},
    {K::kUtf8AsCp1251, Op::kUtf8, C::kWindows1251},
    {K::kUtf8AsKoi8R, Op::kUtf8, C::kKoi8R},
    {K::kUtf8AsCp1252, Op::kUtf8, C::kWindows1252},
    {K::kCp1251AsKoi8R, Op::kBytes, C::kKoi8R, C::kWindows1251},
    {K::kKoi8RAsCp1251, Op::kBytes, C::kWindows1251, C::kKoi8R},
    {K::kRussianOnEnglishKeys, Op::kToRussian},
    {K::kEnglishOnRussianKeys, Op::kToEnglish},
    {K::kUtf8AsCp866, Op::kUtf8, C::kCp866},
    {K::kCp866AsCp1251, Op::kBytes, C::kWindows1251, C::kCp866},
    {K::kCp1251AsCp866, Op::kBytes, C::kCp866, C::kWindows1251},
    {K::kCp866AsCp437, Op::kBytes, C::kCp437, C::kCp866},
    {K::kUtf8AsCp1251Twice, Op::kUtf8Twice, C::kWindows1251},
    {K::kUtf8AsCp1252Twice, Op::kUtf8Twice, C::kWindows1252},
    {K::kUtf8AsKoi8RTwice, Op::kUtf8Twice, C::kKoi8R},
    {K::kMacCyrillicAsCp1251, Op::kBytes, C::kWindows1251, C::kMacCyrillic},
    {K::kIso88595AsCp1251, Op::kBytes, C::kWindows1251, C::kIso88595},
    {K::kKoi8UAsCp1251, Op::kBytes, C::kWindows1251, C::kKoi8U},
    {K::kKoi8UBytes, Op::kBytes, C::kWindows1252, C::kKoi8U},
    {K::kLatinLookAlikes, Op::kToCyrillic},
    {K::kCyrillicLookAlikes, Op::kToLatin},
}};
constexpr bool RecipesInOrder() {
    for (int k = 0; k < kRecipeCount; ++k) {
        if (static_cast<int>(kRecipes[k].kind) != k) return false;
    }
    return true;
}
static_assert(RecipesInOrder());

// The readings that change bytes: they leave ASCII as it is.
bool ReadsBytes(Op op) { return op == Op::kBytes || op == Op::kUtf8 || op == Op::kUtf8Twice; }

// A kBytes reading: the character every unit becomes, its byte in the code page it was shown in
// read in the real one (0: the unit has no byte there; the text holds no NUL).
struct ByteMap {
    explicit ByteMap(const Recipe& r) : shown(CharsetBytes(r.shown)) {
        for (int b = 0; b < 256; ++b) real[b] = CharsetChar(r.real, static_cast<unsigned char>(b));
    }
    char16_t operator[](char16_t c) const {
        const int b = c < kCharsetUnits ? shown[c] : -1;
        return b < 0 ? u'\0' : real[b];
    }
    const std::int16_t* shown;
    std::array<char16_t, 256> real;
};

// A byte reading that reads most words as an earlier one does (KOI8-U as KOI8-R, but for its
// Ukrainian letters), and for each unit whether the two read it differently: a word without such
// units costs what it costs under the earlier reading. -1 where there is none.
struct Sibling {
    int reading = -1;
    const bool* differs = nullptr;  // below kCharsetUnits: no unit above has a byte
    bool Differs(char16_t c) const { return c < kCharsetUnits && differs[c]; }
};

Sibling SiblingOf(ReadingKind kind) {
    static const std::array<std::pair<ReadingKind, ReadingKind>, 2> kPairs{{
        {ReadingKind::kKoi8UAsCp1251, ReadingKind::kKoi8RAsCp1251},
        {ReadingKind::kKoi8UBytes, ReadingKind::kKoi8Bytes},
    }};
    static const auto* const tables = [] {
        auto* t = new std::array<std::array<bool, kCharsetUnits>, kPairs.size()>;
        for (std::size_t p = 0; p < kPairs.size(); ++p) {
            const ByteMap a(kRecipes[static_cast<std::size_t>(kPairs[p].first)]);
            const ByteMap b(kRecipes[static_cast<std::size_t>(kPairs[p].second)]);
            for (char16_t c = 0; c < kCharsetUnits; ++c) (*t)[p][c] = a[c] != b[c];
        }
        return t;
    }();
    for (std::size_t p = 0; p < kPairs.size(); ++p) {
        if (kPairs[p].first == kind) {
            return {static_cast<int>(kPairs[p].second), (*tables)[p].data()};
        }
    }
    return {};
}

// The block of the lexicon that Known reads for the word's first run of letters of one script, each
// unit read through `read`: where a whole word is looked up (Scorer).
template <typename Read>
const std::uint64_t* LexiconBlockOf(std::u16string_view word, Read read) {
    const CharInfo& info = Info();
    std::uint64_t h = LexiconHashOf(0);
    int script = -1;
    for (const char16_t unit : word) {
        const char16_t c = read(unit);
        const Kind kind = info[c].kind;
        if (kind > kEnUpper) {
            if (script >= 0) break;
            continue;
        }
        const int s = kind <= kRuUpper ? 0 : 1;
        if (script >= 0 && s != script) break;
        if (script < 0) h = LexiconHashOf(s);
        script = s;
        h = Fnv(h, info[c].listed);
    }
    return LexiconBlock(LexiconMixed(h));
}

// Scratch space of a reading, kept between words so that reading them allocates nothing.
struct Scratch {
    std::string bytes;
    std::u16string first, out;
};

// How a reading reads a word: its recipe and its tables, looked up once.
struct Reader {
    explicit Reader(const Recipe& r) : recipe(r), map(r), shown(CharsetBytes(r.shown)) {}
    const Recipe& recipe;
    ByteMap map;                // for kBytes
    const std::int16_t* shown;  // the byte of each unit (below kCharsetUnits) in the code page it
                                // was shown in
};

// The reader of each recipe (of kRecipes), made once: the pieces of a text ask for them often.
const Reader& ReaderOf(const Recipe& recipe) {
    static const std::vector<Reader>* const readers = [] {
        auto* r = new std::vector<Reader>;
        r->reserve(kRecipes.size());
        for (const Recipe& each : kRecipes) r->emplace_back(each);
        return r;
    }();
    return (*readers)[static_cast<std::size_t>(recipe.kind)];
}

// `word`'s characters in the code page they were shown in, read as UTF-8, into `out`: false where
// they cannot be.
bool Utf8Of(const std::int16_t* shown, std::u16string_view word, Scratch& s, std::u16string& out) {
    s.bytes.resize(word.size());
    for (std::size_t i = 0; i < word.size(); ++i) {
        const int b = word[i] < kCharsetUnits ? shown[word[i]] : -1;
        if (b < 0) return false;
        s.bytes[i] = static_cast<char>(b);
    }
    return DecodeUtf8Into(s.bytes, out);
}

// In each word of `word` (a run without white space) that has letters of both scripts, the
// look-alikes of the other script made letters of the word's own, where every letter of the
// other script is a look-alike: «Привeт» to Cyrillic, «Hellо» to Latin.
void FixLookAlikes(bool toCyrillic, std::u16string_view word, std::u16string& out) {
    const UnitMap& map = SwapMaps()[toCyrillic ? 2 : 3];
    out.assign(word);
    // Code, format strings and options mix scripts on purpose: «%sу», «\xНН», «--CТИП=...».
    if (word.find_first_of(u"%\\=_/@{}<>$") != std::u16string_view::npos) return;
    const auto isLetter = [&](char16_t c) {
        return IsLatinLetter(c) || IsCyrillic(c) || map[c] != c;
    };
    const auto isLatin = [](char16_t c) { return IsLatinLetter(c) || c == u'ë' || c == u'Ë'; };
    // Initials run into a word of the other script are of its script: «А.M.», «B.Колечицкий»
    // are «А.М.», «В.Колечицкий», where no letter of the script to leave lacks a look-alike.
    // Whether the word has letters of the script to keep, and one of the other without a
    // look-alike.
    bool target = false, unmatched = false;
    for (const char16_t c : word) {
        if (!isLetter(c)) continue;
        target |= toCyrillic != isLatin(c);
        unmatched |= (toCyrillic == isLatin(c)) && map[c] == c;
    }
    const bool initials = target && !unmatched;
    // A part of the word whose letters are all of the script this reading replaces («то» of
    // «Tо-то», under the look-alikes of English) says the word is of that script: its parts of
    // both scripts are then left as they are, not made «To-то».
    bool leftScript = false;
    for (std::size_t i = 0; i < word.size();) {
        if (!isLetter(word[i])) {
            ++i;
            continue;
        }
        bool all = true;
        for (; i < word.size() && isLetter(word[i]); ++i) all &= toCyrillic == isLatin(word[i]);
        leftScript |= all;
    }
    for (std::size_t i = 0; i < out.size();) {
        if (!isLetter(out[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        bool latin = false, cyrillic = false, foreign = false;
        while (end < out.size() && isLetter(out[end])) {
            const char16_t c = out[end++];
            latin |= isLatin(c);
            cyrillic |= !isLatin(c);
            // A letter of the script to leave that no look-alike stands for.
            foreign |= (toCyrillic == isLatin(c)) && map[c] == c;
        }
        const bool initial = initials && end == i + 1 && end < out.size() && out[end] == u'.';
        // A Latin capital run into a Russian word's small letters was no small letter garbled
        // («сотрудничествоA» is a heading run into the number of the next, «A.2.»). (English
        // names are written so: «SteamОS» is «SteamOS».)
        bool runIn = false;
        for (std::size_t k = i + 1; toCyrillic && k < end; ++k) {
            runIn |= isLatin(out[k]) && map[out[k]] != out[k] && CapitalRunIn(out, k);
        }
        if (((latin && cyrillic && !foreign && !leftScript) || initial) && !runIn) {
            for (std::size_t k = i; k < end; ++k) out[k] = map[out[k]];
        }
        i = end;
    }
}

// Reads `word` (a run without white space) as `recipe` reads it, into `out`: false where the
// reading cannot apply. Not for Translit, which reads whole runs of text.
bool ReadWord(const Reader& reader, std::u16string_view word, Scratch& s, std::u16string& out) {
    const Recipe& recipe = reader.recipe;
    switch (recipe.op) {
        case Op::kAsIs:
        case Op::kTranslit:
            out.assign(word);
            return true;
        case Op::kBytes: {
            const ByteMap& map = reader.map;
            out.resize(word.size());
            for (std::size_t i = 0; i < word.size(); ++i) {
                out[i] = map[word[i]];
                if (out[i] == u'\0') return false;
            }
            return true;
        }
        case Op::kUtf8:
            return Utf8Of(reader.shown, word, s, out);
        case Op::kUtf8Twice:
            // ASCII reads as itself, as under every byte mix-up (and as the scores take it).
            if (std::all_of(word.begin(), word.end(), [](char16_t c) { return c < 0x80; })) {
                out.assign(word);
                return true;
            }
            // The second reading only where the first gave well-formed text that still has
            // characters beyond ASCII: no pair of readings is tried blindly.
            return Utf8Of(reader.shown, word, s, s.first) &&
                   std::any_of(s.first.begin(), s.first.end(),
                               [](char16_t c) { return c >= 0x80; }) &&
                   Utf8Of(reader.shown, s.first, s, out);
        case Op::kToRussian:
        case Op::kToEnglish: {
            const bool russian = recipe.op == Op::kToRussian;
            // A word with letters of the layout's own script was not typed on the other one.
            if (russian ? HasCyrillic(word) : HasLatinLetter(word)) return false;
            const UnitMap& map = SwapMaps()[russian ? 0 : 1];
            out.resize(word.size());
            std::transform(word.begin(), word.end(), out.begin(),
                           [&](char16_t c) { return map[c]; });
            return true;
        }
        case Op::kToCyrillic:
        case Op::kToLatin:
            FixLookAlikes(recipe.op == Op::kToCyrillic, word, out);
            return true;
    }
    return false;
}

// The clipboard text converted from `source` to Unicode, as ConvertText converts it.
std::u16string FromFormat(TextFormat source, std::u16string_view body) {
    std::u16string text(body);
    text.push_back(u'\0');
    ConvertText(source, kUnicode, text);
    text.resize(std::min(text.size(), text.find(u'\0')));
    return text;
}

// `text` as `recipe` reads it, word by word (Translit whole): nothing where it cannot apply. The
// byte mix-ups and the layouts read each character on its own, and leave white space as it is (no
// UTF-8 sequence spans ASCII, and a word read twice has characters beyond ASCII after the first
// reading): they read the whole text at once.
std::optional<std::u16string> ReadText(const Recipe& recipe, std::u16string_view text) {
    switch (recipe.op) {
        case Op::kTranslit:
            return FromFormat(kTranslit, text);
        case Op::kBytes: {
            const ByteMap& map = ReaderOf(recipe).map;
            std::u16string out(text.size(), u'\0');
            for (std::size_t i = 0; i < text.size(); ++i) {
                out[i] = map[text[i]];
                if (out[i] == u'\0') return std::nullopt;
            }
            return out;
        }
        case Op::kUtf8:
        case Op::kUtf8Twice: {
            const std::int16_t* const shown = CharsetBytes(recipe.shown);
            Scratch s;
            std::u16string out;
            if (!Utf8Of(shown, text, s, out)) return std::nullopt;
            if (recipe.op == Op::kUtf8Twice && !Utf8Of(shown, std::u16string(out), s, out)) {
                return std::nullopt;
            }
            return out;
        }
        case Op::kToRussian:
        case Op::kToEnglish: {
            const bool russian = recipe.op == Op::kToRussian;
            // No word may have letters of the layout's own script.
            if (russian ? HasCyrillic(text) : HasLatinLetter(text)) return std::nullopt;
            return SwapLayout(text, russian);
        }
        default:
            break;
    }
    std::u16string out;
    out.reserve(text.size());
    Scratch s;
    std::u16string word;
    const Reader& reader = ReaderOf(recipe);
    for (std::size_t i = 0; i < text.size();) {
        if (IsWhiteSpace(text[i])) {
            out.push_back(text[i++]);
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsWhiteSpace(text[end])) ++end;
        if (!ReadWord(reader, text.substr(i, end - i), s, word)) return std::nullopt;
        out += word;
        i = end;
    }
    return out;
}

// Whether `text` reads as `b` reads it just as `a`, which reads every word of it, reads it (not at
// all counts as otherwise): word by word, given up at the first word read otherwise. Neither may
// be Translit, which reads whole runs of text. The readings put no white space in a word and
// write something for every character, so the texts are the same where every word is.
bool ReadsAlike(const Recipe& a, const Recipe& b, std::u16string_view text) {
    const Reader &readerA = ReaderOf(a), &readerB = ReaderOf(b);
    Scratch s;
    std::u16string wordA, wordB;
    for (std::size_t i = 0; i < text.size();) {
        if (IsWhiteSpace(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsWhiteSpace(text[end])) ++end;
        const std::u16string_view word = text.substr(i, end - i);
        if (!ReadWord(readerB, word, s, wordB) || !ReadWord(readerA, word, s, wordA) ||
            wordA != wordB) {
            return false;
        }
        i = end;
    }
    return true;
}

// ---- Scoring every reading, word by word ------------------------------------------------------

// A word of the text and the white space after it (the text's leading white space is a word of
// its own, with no letters).
struct Span {
    std::uint32_t begin, end, next;  // the word [begin, end), its white space [end, next)
    std::uint32_t hash;              // the word's WordHash
    bool lineStart;                  // the word begins a line
};

// The hash of a word for the cache of words met before (FNV-1a), fed a unit at a time.
constexpr std::uint32_t kWordHash = 2166136261u;
constexpr std::uint32_t WordHash(std::uint32_t hash, char16_t c) { return (hash ^ c) * 16777619u; }

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max() / 4;

// What each reading makes of the whole text.
struct Whole {
    std::int64_t cost = 0, junk = 0;
    std::int64_t changedCost = 0;  // what the words it changes cost as they are
    bool applies = true, changes = false;
    bool bound = false;  // some word fell far behind and was not read to its end: `cost` is less
    bool likeSibling = true;  // every word read as the sibling reads it (SiblingOf)
};

// The readings that change a few words of a text: their margin's share is of those words' cost.
bool ChangesFewWords(ReadingKind kind) {
    return kind == ReadingKind::kLatinLookAlikes || kind == ReadingKind::kCyrillicLookAlikes ||
           kind == ReadingKind::kMacCyrillicAsCp1251;
}

// The decision's numbers, in eighths of a bit.
constexpr std::int64_t Eighths(double bits) { return static_cast<std::int64_t>(bits * 8.0 + 0.5); }

// What a reading pays in the reading in pieces: to be the first piece's (its margin's fixed part),
// to follow another piece, and per eighth of a bit the text as it is costs in the words it
// changes (its margin's share, in 1/1024).
struct PieceCosts {
    std::int64_t first = 0, follow = 0, share = 0;
};

PieceCosts PieceCostsOf(ReadingKind kind, bool latinOnly) {
    if (kind == ReadingKind::kAsIs) return {0, Eighths(kPieceBackBits), 0};
    const double margin0 = Margin(kind, 0.0, latinOnly);
    const double share = Margin(kind, 1024.0, latinOnly) - margin0;
    // Look-alikes follow another piece as cheaply as they begin the text: they change nothing but
    // words of both scripts.
    const bool few =
        kind == ReadingKind::kLatinLookAlikes || kind == ReadingKind::kCyrillicLookAlikes;
    // Translit reads English-looking words too, and names: it follows another piece at a higher
    // price, so that a text of it is not split at its first words.
    return {Eighths(margin0),
            Eighths(few                                  ? margin0
                    : kind == ReadingKind::kTranslitText ? kPieceTranslitSwitchBits
                                                         : kPieceSwitchBits),
            static_cast<std::int64_t>(share + (share < 0 ? -0.5 : 0.5))};
}

// Scores every reading of `body` word by word: the whole text's cost under each, and the best
// reading in pieces (by the Viterbi algorithm over the words, each reading a state; changing
// state costs what PieceCosts says, as does the text's own cost that a reading changes). The
// text is read a block of words at a time, so that besides the text itself only a few bytes a
// word are kept.
//
// A word's cost under a reading does not depend on the words around it (white space ends every
// word the model reads), so each distinct word is read once under every reading, Translit
// included, and what a word costs is kept as it differs from the text as it is: a word that a
// reading leaves as it is costs nothing more to add up, and the Viterbi steps count the
// states' costs from the text as it is.
class Scoring {
  public:
    explicit Scoring(std::u16string_view body) : body_(body) {
        translitScorer_.TakeWebWords(false);
        // Readings that cannot change the text are not read at all.
        enum : std::uint8_t { kLatin = 1, kMark = 2, kBeyond = 4, kCyrillic = 8 };
        static constexpr std::array<std::uint8_t, 128> kAscii = [] {
            std::array<std::uint8_t, 128> a{};
            for (char16_t c = 0; c < 128; ++c) {
                a[c] = static_cast<std::uint8_t>(IsLatinLetter(c) ? kLatin : 0);
                if (std::u16string_view(u"'\"\\_<").find(c) != std::u16string_view::npos) {
                    a[c] = kMark;
                }
            }
            return a;
        }();
        unsigned has = 0;
        for (const char16_t c : body) {
            has |= c < 0x80 ? kAscii[c] : c >= 0x400 && c <= 0x4FF ? kBeyond | kCyrillic : kBeyond;
        }
        const bool nonAscii = (has & kBeyond) != 0, latin = (has & kLatin) != 0;
        const bool cyrillic = (has & kCyrillic) != 0, translit = (has & (kLatin | kMark)) != 0;
        latinOnly_ = !cyrillic;
        scorer_.ChargeLoneLatin(latinOnly_);
        translitScorer_.ChargeLoneLatin(latinOnly_);
        spelled_.ChargeLoneLatin(latinOnly_);
        for (int r = 0; r < kRecipeCount; ++r) {
            costs_[r] = PieceCostsOf(kRecipes[r].kind, latinOnly_);
        }
        for (int r = 1; r < kRecipeCount; ++r) {
            const Op op = kRecipes[r].op;
            bool read = true;
            if (ReadsBytes(op)) read = nonAscii;
            if (op == Op::kTranslit) read = translit;
            if (op == Op::kToRussian) read = latin;
            if (op == Op::kToEnglish) read = cyrillic;
            if (op == Op::kToCyrillic || op == Op::kToLatin) read = latin && cyrillic;
            read_[r] = read;
            whole_[r].applies = read;
        }
        read_[0] = true;
        for (int r = 0; r < kRecipeCount; ++r) {
            siblings_[r] = SiblingOf(kRecipes[r].kind);
            // A reading that begins a piece on a word it leaves as it is pays as much as any.
            enterAsIs_[r] = enter_[r] = r == 0 ? costs_[r].follow : kSwitchCost;
            // The Viterbi's states are the readings; those not read never read a word.
            here_[r] = read_[r] ? 0 : kNever;
            if (!read_[r]) continue;
            live_.push_back(r);
            liveMask_ |= 1u << r;
        }
        if (read_[kTranslitIndex]) translitReader_.emplace(kUnicode);
        Read();
    }

    const Whole& WholeOf(int r) const { return whole_[r]; }

    // What the text's units [begin, end), from a word's beginning to a word's end, cost as reading
    // `r` (a reading read, and no Translit) reads them, where it reads every word: each word's
    // cost as it was scored (read again where it was not read to its end), and the white space's.
    std::int64_t CostOf(int r, std::size_t begin, std::size_t end) {
        const CharInfo& info = Info();
        std::int64_t cost = 0;
        for (std::size_t i = begin; i < end;) {
            if (IsWhiteSpace(body_[i])) {
                cost += kKindCost[info[body_[i++]].kind];
                continue;
            }
            std::size_t e = i;
            while (e < end && !IsWhiteSpace(body_[e])) ++e;
            const std::u16string_view word = body_.substr(i, e - i);
            std::uint32_t hash = kWordHash;
            for (const char16_t c : word) hash = WordHash(hash, c);
            const WordScores& w = ScoresOf(static_cast<std::uint32_t>(i), word, hash);
            // A word this long might cost more than its score holds.
            constexpr std::size_t kLong = 1 << 20;
            if (((w.bound | w.never) >> r & 1u) != 0 || word.size() > kLong) {
                ReadWord(ReaderOf(kRecipes[r]), word, scratch_, out_);
                cost += Cost(out_, false, r != kTranslitIndex, latinOnly_);
            } else {
                cost += w.cost[r];
            }
            i = e;
        }
        return cost;
    }
    bool LatinOnly() const { return latinOnly_; }
    // The best reading in pieces: runs of words, the text's units [begin, end) from the first
    // word's beginning to the last one's end, and the reading of each.
    struct Stretch {
        std::size_t begin, end;
        int reading;
    };
    const std::vector<Stretch>& Stretches() const { return stretches_; }

  private:
    static constexpr std::size_t kBlock = 1024;
    static constexpr int kTranslitIndex = static_cast<int>(ReadingKind::kTranslitText);
    static constexpr std::uint32_t kTranslitBit = 1u << kTranslitIndex;
    static constexpr std::uint32_t kAllReadings = (1u << kRecipeCount) - 1;
    static constexpr std::int64_t kSwitchCost = Eighths(kPieceSwitchBits);

    // The text a block of words at a time: its words are found, read and taken by the Viterbi
    // steps, and of each word only how the Viterbi came to it is kept.
    void Read() {
        // Never more words than half the text and one: the vectors grow only as they are written.
        const std::size_t most = body_.size() / 2 + 1;
        switched_.reserve(most);
        from_.reserve(most);
        std::size_t places = 16;
        while (places < most && places < kCacheSize) places *= 2;
        cache_.reset(new WordScores[places]);  // filled as words are met
        sets_.assign(places / kWays, Set{});   // a power of two, at least 2
        best_.fill(kNever);
        for (std::size_t i = 0; i < body_.size();) {
            // The block's words, and whether the Translit reader must read it whole: a verbatim
            // section may span white space, and a word of separators alone reads as nothing and
            // runs the white space around it together.
            std::size_t count = 0;
            bool translitWhole = false;
            for (; count < kBlock && i < body_.size(); ++count) {
                Span& s = spans_[count];
                s.begin = static_cast<std::uint32_t>(i);
                s.lineStart = i == 0 || body_[i - 1] == u'\n' || body_[i - 1] == u'\r';
                bool marks = false;
                std::uint32_t hash = kWordHash;
                while (i < body_.size() && !IsWhiteSpace(body_[i])) {
                    marks |= body_[i] == u'<' || body_[i] == u'_';
                    hash = WordHash(hash, body_[i++]);
                }
                s.hash = hash;
                s.end = static_cast<std::uint32_t>(i);
                while (i < body_.size() && IsWhiteSpace(body_[i])) ++i;
                s.next = static_cast<std::uint32_t>(i);
                if (marks) {
                    const std::u16string_view word = body_.substr(s.begin, s.end - s.begin);
                    translitWhole |= word.find(u"<*") != std::u16string_view::npos ||
                                     word.find_first_not_of(u'_') == std::u16string_view::npos;
                }
            }
            blocks_.push_back(spans_[0].begin);
            ScoreBlock(count, translitWhole && read_[kTranslitIndex]);
        }
        Finish();
        Backward();
    }

    // Whether the word is a Latin capital alone between Russian words of one sentence («После K
    // может», «клавишу S»): a name there, not Translit, which writes a one-letter word in capital
    // only where a sentence begins («V razlichnykh»).
    bool CapitalWithinSentence(const Span& s) const {
        const std::u16string_view word = body_.substr(s.begin, s.end - s.begin);
        const auto letter = std::find_if(word.begin(), word.end(), IsLatinLetter);
        if (letter == word.end() || *letter > u'Z' ||
            std::any_of(letter + 1, word.end(), IsLatinLetter) ||
            std::any_of(word.begin(), word.end(),
                        [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
            return false;
        }
        // The word before: on the same line, Russian, ending no sentence.
        const Neighbours n = NeighboursOf(s);
        if (n.lineBefore || n.before.empty() || !HasCyrillic(n.before) ||
            std::u16string_view(u".!?…:").find(n.before.back()) != std::u16string_view::npos) {
            return false;
        }
        // The word after, if any: Russian.
        return n.after.empty() || HasCyrillic(n.after);
    }

    // The words before and after a word, and whether a line ends between it and each.
    struct Neighbours {
        std::u16string_view before, after;
        bool lineBefore = false, lineAfter = false;
    };
    Neighbours NeighboursOf(const Span& s) const {
        Neighbours n;
        std::size_t e = s.begin;
        while (e > 0 && IsWhiteSpace(body_[e - 1])) n.lineBefore |= body_[--e] == u'\n';
        std::size_t b = e;
        while (b > 0 && !IsWhiteSpace(body_[b - 1])) --b;
        n.before = body_.substr(b, e - b);
        for (std::size_t c = s.end; c < s.next; ++c) n.lineAfter |= body_[c] == u'\n';
        std::size_t a = s.next;
        while (a < body_.size() && !IsWhiteSpace(body_[a])) ++a;
        n.after = body_.substr(s.next, a - s.next);
        return n;
    }

    // Whether the word stands alone among Russian words: its neighbours on its line are Russian
    // words, or one is and the line ends on the other side. Mostly a name of a program, a format,
    // a command quoted in Russian text («данных Git», «Видео Matroska», «vma:»), which Translit
    // reads only into a word of the lists (ScoreBlock).
    bool LoneLatinWord(const Span& s) const {
        // The words before and after on the same line, if any.
        const Neighbours n = NeighboursOf(s);
        const std::u16string_view before = n.lineBefore ? std::u16string_view() : n.before;
        const std::u16string_view after = n.lineAfter ? std::u16string_view() : n.after;
        if (before.empty() && after.empty()) return false;
        return (before.empty() || (HasCyrillic(before) && !HasLatinLetter(before))) &&
               (after.empty() || (HasCyrillic(after) && !HasLatinLetter(after)));
    }

    std::int64_t SpaceCost(const Span& s) const {
        const CharInfo& info = Info();
        std::int64_t space = 0;
        for (std::uint32_t c = s.end; c < s.next; ++c) space += kKindCost[info[body_[c]].kind];
        return space;
    }

    // Each reading's cost for the block's words, added to the whole text's and taken by the
    // Viterbi step of each word.
    void ScoreBlock(std::size_t count, bool translitWhole) {
        if (translitWhole) {
            for (std::size_t k = 0; k < count; ++k) {
                const Span& s = spans_[k];
                const WordScores& w =
                    ScoresOf(s.begin, body_.substr(s.begin, s.end - s.begin), s.hash);
                asIsCost_[k] = w.cost[0] + SpaceCost(s);
                asIsJunk_[k] = w.junk[0];
            }
            ScoreTranslit(count);
        }
        for (std::size_t k = 0; k < count; ++k) {
            const Span& s = spans_[k];
            const std::u16string_view word = body_.substr(s.begin, s.end - s.begin);
            // White space costs the same in every reading; the word's own cost does not depend
            // on what came before it, so a word met before is not read again.
            const std::int64_t space = SpaceCost(s);
            const WordScores& w = ScoresOf(s.begin, word, s.hash);
            const std::int64_t asIs = w.cost[0] + space;
            std::uint32_t changed = w.changed & liveMask_;
            std::uint32_t never = w.never & liveMask_;
            std::uint32_t bound = w.bound & liveMask_;
            std::int64_t translitCost = 0, translitJunk = 0;
            if (translitWhole) {
                changed &= ~kTranslitBit;
                never &= ~kTranslitBit;
                if (translitCost_[k] >= kNever) {
                    never |= kTranslitBit;
                } else if (translitChanged_[k]) {
                    changed |= kTranslitBit;
                    translitCost = translitCost_[k] - space;
                    translitJunk = translitJunk_[k];
                    if (translitBound_[k]) bound |= kTranslitBit;
                }
            }
            if ((changed & kTranslitBit) != 0 && !latinOnly_ &&
                (CapitalWithinSentence(s) || (!w.translitKnown && LoneLatinWord(s)))) {
                changed &= ~kTranslitBit;
                never |= kTranslitBit;
            } else if (!translitWhole && (changed & kTranslitBit) != 0) {
                translitCost = w.cost[kTranslitIndex];
                translitJunk = w.junk[kTranslitIndex];
                if (!latinOnly_ && w.translitRunning > asIs + kHopeless) {
                    // A word that falls far behind the text as it is is not read to its end.
                    translitCost = w.cost[0] + kHopeless;
                    translitJunk = w.junk[0];
                    bound |= kTranslitBit;
                }
            }

            asIsTotal_ += asIs;
            asIsJunkTotal_ += w.junk[0];
            neverSeen_ |= never;
            changedSeen_ |= changed;
            boundSeen_ |= bound;
            unlikeSiblingSeen_ |= w.unlikeSibling;
            // The states the word costs more or less in than the text as it is.
            int touchedCount = 0;
            for (std::uint32_t m = changed; m != 0; m &= m - 1) {
                const int r = std::countr_zero(m);
                const std::int64_t cost = r == kTranslitIndex ? translitCost : w.cost[r];
                const std::int64_t junk = r == kTranslitIndex ? translitJunk : w.junk[r];
                moreCost_[r] += cost - w.cost[0];
                moreJunk_[r] += junk - w.junk[0];
                changedCost_[r] += asIs;
                std::int64_t c = cost + space + asIs * costs_[r].share / 1024;
                const std::int64_t moreJunk = junk - w.junk[0];
                // Junk taken away counts only where it is no ASCII symbol standing alone: a line
                // of «#» is no garbage that the layout's «№» repairs.
                c += moreJunk > 0 ? moreJunk * kJunkCost
                                  : std::max<std::int64_t>(moreJunk, -w.rare) * kTakenJunkCost;
                // MacCyrillic keeps every letter, in pieces as in the whole text.
                if ((w.fewerLetters >> r & 1u) != 0) c += kJunkCost;
                enter_[r] = costs_[r].follow;
                // A mark that MacCyrillic makes the capital of a word tells a MacCyrillic piece
                // alone, wherever it stands: it begins at a first piece's price and goes back to
                // the text as it is for nothing.
                if ((w.capitalMark >> r & 1u) != 0) {
                    c -= Eighths(kPieceBackBits);
                    enter_[r] = costs_[r].first;
                }
                here_[r] = c - asIs;
                ++touchedCount;
            }
            int unreadCount = 0;
            for (std::uint32_t m = never; m != 0; m &= m - 1) ++unreadCount;
            Step(s, changed, never, touchedCount, unreadCount);
            for (std::uint32_t m = changed; m != 0; m &= m - 1) {
                const int r = std::countr_zero(m);
                here_[r] = 0;
                enter_[r] = enterAsIs_[r];
            }
        }
    }

    // The Viterbi step over the word `s`, whose cost in each state beyond the text as it is
    // `here_` holds, and what entering each state there costs `enter_`: best_[r] is the cost of
    // the best reading in pieces of the words so far that reads the last of them as reading r,
    // less what the text as it is costs in them. The states `touched` read the word otherwise, the
    // states `unread` cannot read it.
    //
    // A state that leaves the word as it is (but the text as it is, which enters at a price of
    // its own) costs nothing here and is entered at one price: it changes only where it costs
    // more than `clamp`, the best state's cost and that price. Every state but those of the word
    // before is known to cost at most `ceiling_`; where that is no more than `clamp`, such states
    // are left as they are. A state that cannot read the word costs kNever, whatever it cost
    // before. `touchedCount` and `unreadCount` count the states of each.
    void Step(const Span& s, std::uint32_t touched, std::uint32_t unread, int touchedCount,
              int unreadCount) {
        const auto states = static_cast<int>(live_.size());
        const std::uint32_t all = liveMask_;
        std::int64_t least = std::numeric_limits<std::int64_t>::max();
        int g = 0;
        if (switched_.empty()) {
            for (int r = 0; r < kRecipeCount; ++r) {
                const bool reads = ((all & ~unread) >> r & 1u) != 0;
                best_[r] = reads ? here_[r] + costs_[r].first : kNever;
                if (best_[r] < least) least = best_[r], g = r;
            }
            switched_.push_back(0);
            from_.push_back(0);
            bestState_ = g;
            bestCost_ = least;
            changing_ = all;
            changingCount_ = states;
            return;
        }
        from_.push_back(static_cast<std::uint8_t>(bestState_));
        const std::int64_t bestBefore = bestCost_ + (s.lineStart ? 0 : kMidLine);
        const std::int64_t clamp = bestBefore + kSwitchCost;
        const std::uint32_t own = touched | unread | 1u;
        std::uint32_t taken = own | changing_;
        // Where most states are stepped, all of them are, in one loop without branches (the
        // readings not read too, which cost kNever and more there, and are set back after).
        if (clamp < ceiling_ || 1 + touchedCount + changingCount_ > states) taken = all;
        const std::uint32_t stepped = taken & ~unread;
        std::uint32_t switched = 0;
        const auto step = [&](int r) {
            const std::int64_t stay = best_[r];
            const std::int64_t change = bestBefore + enter_[r];
            const bool enter = change < stay;
            switched |= static_cast<std::uint32_t>(enter) << r;
            const std::int64_t now = (enter ? change : stay) + here_[r];
            best_[r] = now;
            g = now < least ? r : g;
            least = now < least ? now : least;
        };
        if (stepped == all) {
            for (int r = 0; r < kRecipeCount; ++r) step(r);
            for (std::uint32_t m = ~all & kAllReadings; m != 0; m &= m - 1) {
                best_[std::countr_zero(m)] = kNever;
            }
        } else {
            for (std::uint32_t m = stepped; m != 0; m &= m - 1) step(std::countr_zero(m));
        }
        for (std::uint32_t m = unread; m != 0; m &= m - 1) best_[std::countr_zero(m)] = kNever;
        switched_.push_back(switched & stepped);
        // The states left as they are cost at least what the best state cost: the best state is
        // still the best where it was left, and where it was taken and none costs less now.
        const bool left = (taken >> bestState_ & 1u) == 0;
        if (left) {
            if (bestCost_ < least || (bestCost_ == least && bestState_ < g)) {
                least = bestCost_, g = bestState_;
            }
        } else if (taken != all && (least > bestCost_ || (least == bestCost_ && g > bestState_))) {
            least = std::numeric_limits<std::int64_t>::max();
            for (int r = 0; r < kRecipeCount; ++r) {
                if (best_[r] < least) least = best_[r], g = r;
            }
        }
        bestState_ = g;
        bestCost_ = least;
        ceiling_ = clamp;
        changing_ = own;
        changingCount_ = 1 + touchedCount + unreadCount;
    }

    // What each reading makes of the whole text: the text as it is and what each reading adds.
    void Finish() {
        whole_[0].cost = asIsTotal_;
        whole_[0].junk = asIsJunkTotal_;
        for (int r = 1; r < kRecipeCount; ++r) {
            if (!read_[r]) continue;
            Whole& w = whole_[r];
            const auto bit = [&](std::uint32_t mask) { return (mask >> r & 1u) != 0; };
            w.applies = !bit(neverSeen_);
            w.cost = asIsTotal_ + moreCost_[r];
            w.junk = asIsJunkTotal_ + moreJunk_[r];
            w.changes = bit(changedSeen_);
            w.changedCost = changedCost_[r];
            w.bound = bit(boundSeen_);
            w.likeSibling = !bit(unlikeSiblingSeen_);
        }
        whole_[kTranslitIndex].cost += translitWholeCost_;
    }

    // What every reading makes of one word, white space left out.
    static constexpr std::int32_t kNeverWord = std::numeric_limits<std::int32_t>::max();
    // Left unset until the word is read: the cache is not written before it is used.
    struct WordScores {
        // A bit a reading: the word read otherwise, not read to its end, unreadable, read unlike
        // the sibling reads it.
        std::uint32_t changed, bound, never, unlikeSibling;
        std::uint32_t fewerLetters;  // the word read so has fewer letters (MacCyrillic)
        // The word's first character, a mark, read so is the capital that makes a word of the
        // lists of it (MacCyrillic: CP 1251's «…сли», «’акже» are «Если», «Также»).
        std::uint32_t capitalMark;
        // In a text with Cyrillic letters, what the Translit reading costs as far as its end
        // (before the word ends there): the word falls far behind by this.
        std::int32_t translitRunning;
        // In a text with Cyrillic letters, whether Translit reads the word as a word of the lists
        // that it is not as it is.
        bool translitKnown;
        std::array<std::int32_t, kRecipeCount> cost;  // for the readings read
        std::array<std::int16_t, kRecipeCount> junk;
        std::int16_t rare;  // the junk of the word as it is that is no ASCII symbol
    };

    // The scores of `word` (at `begin` in the text, its WordHash `hash`), from the cache of words
    // met before or read now. The cache is a fixed number of sets of kWays places, each set keeping
    // the words of its hashes used last, so that its memory stays fixed.
    const WordScores& ScoresOf(std::uint32_t begin, std::u16string_view word, std::uint32_t hash) {
        const std::size_t set = hash & (sets_.size() - 1);
        std::array<Place, kWays>& places = sets_[set].places;
        std::size_t oldest = 0;
        for (std::size_t p = 0; p < kWays; ++p) {
            Place& place = places[p];
            if (place.hash == hash && place.used != 0 && place.length == word.size() &&
                body_.substr(place.begin, word.size()) == word) {
                place.used = ++clock_;
                return cache_[set * kWays + p];
            }
            if (place.used < places[oldest].used) oldest = p;
        }
        if (clock_ == std::numeric_limits<std::uint32_t>::max()) {
            // Once in four billion words: the order of use starts afresh.
            for (Set& each : sets_) {
                for (Place& place : each.places) place.used = 0;
            }
            clock_ = 0;
        }
        places[oldest] = {hash, begin, static_cast<std::uint32_t>(word.size()), ++clock_};
        WordScores& slot = cache_[set * kWays + oldest];
        Read(slot, word);
        return slot;
    }

    // What every reading makes of `word`, into `slot`.
    void Read(WordScores& slot, std::u16string_view word) {
        slot.changed = slot.bound = slot.never = slot.unlikeSibling = slot.fewerLetters = 0;
        slot.capitalMark = 0;
        slot.translitKnown = false;
        Scorer<false>& scorer = scorer_;
#if defined(__GNUC__)
        // The word and what each byte mix-up and layout makes of it are looked up in the lexicon as
        // they are scored (a wait for memory each, the lexicon being large): asked for all at once
        // first.
        __builtin_prefetch(LexiconBlockOf(word, [](char16_t c) { return c; }));
        for (const int r : live_) {
            const Op op = kRecipes[r].op;
            if (op == Op::kBytes) {
                const ByteMap& map = ReaderOf(kRecipes[r]).map;
                __builtin_prefetch(LexiconBlockOf(word, [&](char16_t c) { return map[c]; }));
            } else if (op == Op::kToRussian || op == Op::kToEnglish) {
                const UnitMap& map = SwapMaps()[op == Op::kToRussian ? 0 : 1];
                __builtin_prefetch(LexiconBlockOf(word, [&](char16_t c) { return map[c]; }));
            }
        }
#endif
        scorer.Restart(0, 0);
        scorer.Add(word);
        const std::int64_t asIs = scorer.Cost();
        const bool asIsKnown = scorer.LastBonus() != 0;
        slot.cost[0] = static_cast<std::int32_t>(asIs);
        slot.junk[0] = static_cast<std::int16_t>(std::min<std::int64_t>(scorer.Junk(), 0x7FFF));
        slot.rare = static_cast<std::int16_t>(std::min<std::int64_t>(scorer.Rare(), 0x7FFF));
        // What the word has, which tells many readings that they leave it alone or cannot read it:
        // the code pages that have every character of it among them.
        static const std::array<std::uint8_t, kCharsetUnits>* const kCovers = [] {
            auto* covers = new std::array<std::uint8_t, kCharsetUnits>{};
            for (int set = 0; set < kCharsets; ++set) {
                for (int b = 0; b < 256; ++b) {
                    const char16_t c =
                        CharsetChar(static_cast<Charset>(set), static_cast<unsigned char>(b));
                    (*covers)[c] |= static_cast<std::uint8_t>(1u << set);
                }
                if (static_cast<Charset>(set) == Charset::kWindows1252) {
                    for (int b = 0x80; b < 0xA0; ++b)
                        (*covers)[b] |= static_cast<std::uint8_t>(1u << set);
                }
            }
            return covers;
        }();
        unsigned covered = 0xFF;
        bool ascii = true, latin = false, latinE = false, cyrillic = false, translit = false;
        for (const char16_t c : word) {
            covered &= c < kCharsetUnits ? (*kCovers)[c] : 0u;
            ascii &= c < 0x80;
            latin |= IsLatinLetter(c);
            latinE |= c == u'ë' || c == u'Ë';  // a look-alike of ё
            cyrillic |= IsCyrillic(c);
            translit |= c == u'\'' || c == u'"' || c == u'\\' || c == u'_' || c == u'<';
        }
        const auto same = [&](int r, int as) {
            slot.cost[r] = slot.cost[as];
            slot.junk[r] = slot.junk[as];
            const std::uint32_t bit = 1u << r;
            if ((slot.changed >> as & 1u) != 0) slot.changed |= bit;
            if ((slot.bound >> as & 1u) != 0) slot.bound |= bit;
            if ((slot.never >> as & 1u) != 0) slot.never |= bit;
        };
        const auto never = [&](int r) {
            slot.cost[r] = kNeverWord;
            slot.never |= 1u << r;
        };
        // UTF-8 read once, for each code page it was shown in: reading it twice reads this again.
        std::array<std::int8_t, kCharsets> once{};  // 0 not read, 1 read, -1 no UTF-8
        for (const int r : live_) {
            const Recipe& recipe = kRecipes[r];
            const Op op = recipe.op;
            if (r == 0) continue;
            if (op == Op::kTranslit) {
                // Only Latin letters and the marks of Translit are read otherwise.
                if (latin || translit) {
                    ReadTranslitWord(slot, word, asIsKnown);
                } else {
                    same(r, 0);
                }
                continue;
            }
            if (ascii && (ReadsBytes(op) || op == Op::kToCyrillic || op == Op::kToLatin)) {
                same(r, 0);  // ASCII reads as itself
                continue;
            }
            // Look-alikes change only words with letters of both scripts.
            if ((op == Op::kToCyrillic || op == Op::kToLatin) && !((latin || latinE) && cyrillic)) {
                same(r, 0);
                continue;
            }
            // A character the code page it was shown in lacks: no byte mix-up through it.
            if (ReadsBytes(op) && (covered >> static_cast<int>(recipe.shown) & 1u) == 0) {
                never(r);
                continue;
            }
            const Sibling& sibling = siblings_[r];
            if (sibling.reading >= 0) {
                if (std::none_of(word.begin(), word.end(),
                                 [&](char16_t c) { return sibling.Differs(c); })) {
                    same(r, sibling.reading);  // reads as its sibling does
                    continue;
                }
                slot.unlikeSibling |= 1u << r;
            }
            std::u16string_view read;
            bool changed = false;
            if (op == Op::kBytes) {
                // The byte mix-ups, most of the readings, read here without a copy.
                if (buffer_.size() < word.size()) buffer_.resize(word.size());
                const ByteMap& map = ReaderOf(kRecipes[r]).map;
                std::size_t i = 0;
                for (; i < word.size(); ++i) {
                    const char16_t c = map[word[i]];
                    if (c == u'\0') break;
                    changed |= c != word[i];
                    buffer_[i] = c;
                }
                if (i < word.size()) {
                    never(r);
                    continue;
                }
                read = std::u16string_view(buffer_.data(), word.size());
            } else if (op == Op::kUtf8 || op == Op::kUtf8Twice) {
                const auto shown = static_cast<std::size_t>(recipe.shown);
                std::u16string& first = utf8Once_[shown];
                if (once[shown] == 0) {
                    once[shown] =
                        Utf8Of(ReaderOf(kRecipes[r]).shown, word, scratch_, first) ? 1 : -1;
                }
                if (once[shown] < 0) {
                    never(r);
                    continue;
                }
                if (op == Op::kUtf8) {
                    read = first;
                } else {
                    // The second reading only where the first gave well-formed text that still
                    // has characters beyond ASCII: no pair of readings is tried blindly.
                    if (std::none_of(first.begin(), first.end(),
                                     [](char16_t c) { return c >= 0x80; }) ||
                        !Utf8Of(ReaderOf(kRecipes[r]).shown, first, scratch_, out_)) {
                        never(r);
                        continue;
                    }
                    read = out_;
                }
                changed = read != word;
            } else if ((op == Op::kToRussian && cyrillic) || (op == Op::kToEnglish && latin)) {
                // A word with letters of the layout's own script was not typed on the other one.
                never(r);
                continue;
            } else {
                if (!ReadWord(ReaderOf(kRecipes[r]), word, scratch_, out_)) {
                    never(r);
                    continue;
                }
                changed = out_ != word;
                read = out_;
            }
            if (!changed) {
                same(r, 0);
                continue;
            }
            slot.changed |= 1u << r;
            if (recipe.kind == ReadingKind::kMacCyrillicAsCp1251) {
                if (Letters(read) < Letters(word)) slot.fewerLetters |= 1u << r;
                if (MarkForCapital(word, read)) slot.capitalMark |= 1u << r;
            }
            // A word that falls far behind the text as it is is not read to its end.
            const std::int64_t limit = asIs + kHopeless;
            scorer.Restart(0, 0);
            if (!scorer.AddWithin(read, limit)) {
                slot.cost[r] = static_cast<std::int32_t>(limit);
                slot.junk[r] = slot.junk[0];
                slot.bound |= 1u << r;
                continue;
            }
            slot.cost[r] =
                static_cast<std::int32_t>(std::min<std::int64_t>(scorer.Cost(), kNeverWord - 1));
            slot.junk[r] = static_cast<std::int16_t>(std::min<std::int64_t>(scorer.Junk(), 0x7FFF));
        }
    }

    // Whether a word that Translit changes was written as it is: no Translit is written within a
    // Cyrillic word (the apostrophe of «об'єкт»), with letters of other languages or a capital run
    // into its small letters («domU»), nor in a Russian text as code or an abbreviation.
    bool NoTranslit(std::u16string_view word) const {
        return HasCyrillic(word) || HasForeignLatin(word) || HasCapitalRunIn(word) ||
               (!latinOnly_ && CodeOrAbbreviation(word));
    }

    // The word as Translit reads it alone, which is how the reader reads it in a block that it
    // need not read whole: the word's cost as the likeliest Russian written so (in a text without
    // Cyrillic letters) or by its letters, and how far its reading runs before it ends.
    void ReadTranslitWord(WordScores& slot, std::u16string_view word, bool asIsKnown) {
        constexpr int r = kTranslitIndex;
        slot.cost[r] = slot.cost[0];
        slot.junk[r] = slot.junk[0];
        if (word.empty()) return;
        translitIn_.assign(word);
        translitIn_.push_back(u'\0');  // the reader never reads a text's last character
        translitOut_.clear();
        translitReader_->Reset();
        translitReader_->ReadWhole(translitIn_, translitOut_);
        if (translitOut_ == word) return;
        if (NoTranslit(word)) {
            slot.cost[r] = kNeverWord;
            slot.never |= 1u << r;
            return;
        }
        slot.changed |= 1u << r;
        std::int64_t cost = 0, junk = 0;
        if (latinOnly_) {
            Scorer<true>& spelled = spelled_;
            spelled.Restart(0, 0);
            spelled.Add(translitOut_);
            cost = spelled.Cost();
            junk = spelled.Junk();
            // A long word in small letters or Capitalised that is no English word but reads as
            // a Russian one («Abiturienty», «administratory»): its letters alone tell Translit
            // from English badly. Not one in capitals, mostly an abbreviation («DELIM»).
            const std::u16string_view letters = FirstToLast(word, IsLatinLetter);
            const auto capitals =
                std::count_if(letters.begin(), letters.end(), [](char16_t c) { return c <= u'Z'; });
            if (!asIsKnown && letters.size() >= kUnknownEnglishLetters &&
                std::all_of(letters.begin(), letters.end(), IsLatinLetter) &&
                (capitals == 0 || (capitals == 1 && letters[0] <= u'Z')) &&
                spelled.LastBonus() != 0) {
                cost -= Eighths(kUnknownEnglishBits);
            }
        } else {
            Scorer<false>& plain = translitScorer_;
            plain.Restart(0, 0);
            plain.Add(translitOut_);
            slot.translitRunning =
                static_cast<std::int32_t>(std::min<std::int64_t>(plain.Running(), kNeverWord - 1));
            cost = plain.Cost();
            junk = plain.Junk();
            // A lone English word of the lists stays what it is («Установите make»): Russian
            // text quotes commands and terms far more often than it writes a word in Translit.
            slot.translitKnown = !asIsKnown && KnownReading(translitOut_);
        }
        slot.cost[r] = static_cast<std::int32_t>(std::min<std::int64_t>(cost, kNeverWord - 1));
        slot.junk[r] = static_cast<std::int16_t>(std::min<std::int64_t>(junk, 0x7FFF));
    }

    template <bool kSpelled>
    void ScoreOne(Scorer<kSpelled>& scorer, std::int64_t& before, std::size_t k,
                  std::u16string_view word, std::u16string_view space) {
        const std::int64_t junkBefore = scorer.Junk();
        if constexpr (!kSpelled) {
            // A word that falls far behind the text as it is is not read to its end.
            const std::int64_t limit = before + asIsCost_[k] + kHopeless;
            if (!scorer.AddWithin(word, limit)) {
                translitCost_[k] = asIsCost_[k] + kHopeless;
                translitJunk_[k] = asIsJunk_[k];
                translitBound_[k] = true;
                scorer.Restart(limit, junkBefore);
                before = limit;
                return;
            }
        } else {
            scorer.Add(word);
        }
        scorer.Add(space);
        const std::int64_t now = scorer.Cost();
        translitCost_[k] = now - before;
        translitJunk_[k] = scorer.Junk() - junkBefore;
        before = now;
    }

    // Translit in a block the reader must read whole (a verbatim section may hold white space);
    // its words are where the white space of the text is, which the reader keeps.
    void ScoreTranslit(std::size_t count) {
        const Span& first = spans_[0];
        const Span& last = spans_[count - 1];
        const std::u16string_view block = body_.substr(first.begin, last.next - first.begin);
        const std::u16string read = FromFormat(kTranslit, block);
        std::vector<std::pair<std::size_t, std::size_t>> words;  // [begin, end) in `read`
        bool aligned = true;  // the same white space between the same number of words
        for (std::size_t i = 0; i < read.size();) {
            const std::size_t b = i;
            while (i < read.size() && !IsWhiteSpace(read[i])) ++i;
            const std::size_t e = i;
            while (i < read.size() && IsWhiteSpace(read[i])) ++i;
            const std::size_t k = words.size();
            words.emplace_back(b, e);
            aligned = aligned && k < count &&
                      std::u16string_view(read).substr(e, i - e) ==
                          body_.substr(spans_[k].end, spans_[k].next - spans_[k].end);
        }
        aligned = aligned && words.size() == count;
        Scorer<true> spelled;
        Scorer<false> plain;
        plain.TakeWebWords(false);
        plain.ChargeLoneLatin(false);  // read only in a text with Cyrillic letters
        std::int64_t before = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const Span& s = spans_[k];
            const std::u16string_view word = body_.substr(s.begin, s.end - s.begin);
            std::u16string_view got;
            std::u16string own;
            if (aligned && k < words.size()) {
                got = std::u16string_view(read).substr(words[k].first,
                                                       words[k].second - words[k].first);
            } else {
                own = FromFormat(kTranslit, word);
                got = own;
            }
            translitChanged_[k] = got != word;
            translitBound_[k] = false;
            if (!translitChanged_[k]) {
                translitCost_[k] = asIsCost_[k];
                translitJunk_[k] = asIsJunk_[k];
                continue;
            }
            if (NoTranslit(word)) {
                translitCost_[k] = kNever;
                continue;
            }
            const std::u16string_view space = body_.substr(s.end, s.next - s.end);
            if (latinOnly_) {
                ScoreOne(spelled, before, k, got, space);
            } else {
                ScoreOne(plain, before, k, got, space);
            }
        }
        if (!aligned) {
            // The reader moved white space (a separator or a verbatim mark on its own): the whole
            // text's cost is that of what it wrote, which the words' costs miss by a little.
            std::int64_t sum = 0;
            bool applies = true;
            for (std::size_t k = 0; k < count && applies; ++k) {
                applies =
                    translitCost_[k] < kNever;  // where Translit cannot read the text, nothing
                sum += applies ? translitCost_[k] : 0;
            }
            if (applies) translitWholeCost_ += Cost(read, latinOnly_, false, latinOnly_) - sum;
        }
    }

    // The best reading in pieces, followed back from the end of the text; then where its stretches
    // begin and end, each found from the beginning of its first word's block.
    void Backward() {
        const std::size_t n = switched_.size();
        if (n == 0) return;
        int state = 0;
        for (int r = 1; r < kRecipeCount; ++r) {
            if (best_[r] < best_[state]) state = r;
        }
        std::vector<std::pair<std::size_t, int>> starts;  // each stretch's first word, its state
        for (std::size_t i = n; i-- > 0;) {
            const int before = i > 0 && (switched_[i] >> state & 1u) != 0 ? from_[i] : state;
            if (i == 0 || before != state) starts.emplace_back(i, state);
            state = before;
        }
        std::reverse(starts.begin(), starts.end());
        std::size_t word = 0, at = 0;  // a word, and where it begins
        for (const auto& [first, reading] : starts) {
            if (first / kBlock != word / kBlock || first < word) {
                word = first / kBlock * kBlock;
                at = blocks_[first / kBlock];
            }
            for (; word < first; ++word) {
                while (at < body_.size() && !IsWhiteSpace(body_[at])) ++at;
                while (at < body_.size() && IsWhiteSpace(body_[at])) ++at;
            }
            // The stretch before ends where this one's first word begins, white space left out.
            if (!stretches_.empty()) {
                std::size_t end = at;
                while (end > stretches_.back().begin && IsWhiteSpace(body_[end - 1])) --end;
                stretches_.back().end = end;
            }
            stretches_.push_back({at, 0, reading});
        }
        std::size_t end = body_.size();
        while (end > stretches_.back().begin && IsWhiteSpace(body_[end - 1])) --end;
        stretches_.back().end = end;
    }

    static constexpr std::int64_t kJunkCost = Eighths(kPieceJunkBits);
    // What a word of this many letters or more that only Russian knows gains more as Translit
    // (ReadTranslitWord).
    static constexpr std::size_t kUnknownEnglishLetters = 5;
    static constexpr double kUnknownEnglishBits = 4.0;
    // What a piece gains for each character of junk it takes away: junk is what garbled text
    // leaves, and the model charges it no more than a letter («É» and «и» cost about the same).
    // Without it a word of junk at the edge of a garbled stretch was left out of the stretch, and
    // a short garbled word beside good ones was left as it was.
    static constexpr std::int64_t kTakenJunkCost = 6 * 8;
    // A word this far behind the text as it is costs this much under a reading: more than leaving
    // the reading's piece and coming back to it.
    static constexpr std::int64_t kHopeless = 48 * 8;
    // Pieces change where lines do: a change within a line costs a little more.
    static constexpr std::int64_t kMidLine = 4 * 8;

    std::u16string_view body_;
    bool latinOnly_ = true;
    std::array<PieceCosts, kRecipeCount> costs_{};
    std::array<Whole, kRecipeCount> whole_{};
    std::array<bool, kRecipeCount> read_{};
    std::vector<int> live_;  // the readings read: the Viterbi's states
    std::uint32_t liveMask_ = 0;
    std::array<Sibling, kRecipeCount> siblings_{};
    std::array<Span, kBlock> spans_{};  // the block's words
    // For each word: the states entered anew there and the state they came from; where each
    // block begins.
    std::vector<std::uint32_t> switched_, blocks_;
    std::vector<std::uint8_t> from_;
    // For each state: the cost of the best reading in pieces so far (beyond the text as it is),
    // what the word costs beyond the text as it is, and what entering it there costs; entering
    // where it leaves the word as it is costs `enterAsIs_`.
    std::array<std::int64_t, kRecipeCount> best_{}, here_{}, enter_{}, enterAsIs_{};
    int bestState_ = 0;          // the best of them
    std::int64_t bestCost_ = 0;  // and its cost
    // The states whose cost may be more than `ceiling_`: those the last word changed.
    std::uint32_t changing_ = 0;
    int changingCount_ = 0;
    std::int64_t ceiling_ = 0;
    std::vector<Stretch> stretches_;
    // The whole text: the text as it is, what each reading adds, and which readings changed a
    // word, could not read one, or did not read one to its end.
    std::int64_t asIsTotal_ = 0, asIsJunkTotal_ = 0, translitWholeCost_ = 0;
    std::array<std::int64_t, kRecipeCount> moreCost_{}, moreJunk_{}, changedCost_{};
    std::uint32_t neverSeen_ = 0, changedSeen_ = 0, boundSeen_ = 0, unlikeSiblingSeen_ = 0;
    // A block that Translit reads whole: each word's cost as it is and under Translit.
    std::array<std::int64_t, kBlock> asIsCost_{}, asIsJunk_{}, translitCost_{}, translitJunk_{};
    std::array<bool, kBlock> translitChanged_{}, translitBound_{};
    Scratch scratch_;
    std::u16string out_;
    std::vector<char16_t> buffer_;
    Scorer<false> scorer_;
    Scorer<false> translitScorer_;  // Translit's words in a text with Cyrillic: no web words
    Scorer<true> spelled_;
    std::optional<TranslitReader> translitReader_;
    std::u16string translitIn_, translitOut_;
    // As many places as the text may have words, a power of two from 16 to 16,384 (3.2 MB), in
    // sets of kWays; for each place the hash of its word, where in the text it was met first and
    // its length, and when it was used last (0: never, and then the place holds no word).
    // These are kept apart from the scores, a set in two cache lines of its own, so that finding a
    // word met before waits for the memory of its letters alone, not first for that of its scores.
    static constexpr std::size_t kCacheSize = 16384;
    static constexpr std::size_t kWays = 8;
    static_assert(16 % kWays == 0, "the fewest places, 16, make whole sets");
    std::unique_ptr<WordScores[]> cache_;
    struct Place {
        std::uint32_t hash = 0, begin = 0, length = 0, used = 0;
    };
    struct alignas(64) Set {
        std::array<Place, kWays> places;
    };
    std::vector<Set> sets_;
    std::uint32_t clock_ = 0;
    std::array<std::u16string, kCharsets> utf8Once_;
};

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
        "UTF-8 read as CP 866",
        "CP 866 read as CP 1251",
        "CP 1251 read as CP 866",
        "CP 866 read as CP 437",
        "UTF-8 read as CP 1251 twice",
        "UTF-8 read as CP 1252 twice",
        "UTF-8 read as KOI8-R twice",
        "MacCyrillic read as CP 1251",
        "ISO 8859-5 read as CP 1251",
        "KOI8-U read as CP 1251",
        "KOI8-U",
        "Latin look-alikes in Russian words",
        "Cyrillic look-alikes in English words",
        "in pieces",
    };
    return kNames[static_cast<std::size_t>(kind)];
}

std::string ReadingName(const Reading& reading) {
    std::string name(ReadingName(reading.kind));
    if (reading.kind != ReadingKind::kPieces) return name;
    std::vector<ReadingKind> named;
    for (const Piece& piece : reading.pieces) {
        if (std::find(named.begin(), named.end(), piece.kind) != named.end()) continue;
        name += named.empty() ? ": " : ", ";
        name += ReadingName(piece.kind);
        named.push_back(piece.kind);
    }
    return name;
}

double Margin(ReadingKind kind, double asIsCost, bool latinOnly) {
    switch (kind) {
        case ReadingKind::kTranslitText:
            return latinOnly ? kTranslitMarginBits + kTranslitMarginShare * asIsCost
                             : kMixedTranslitMarginBits + kMixedTranslitMarginShare * asIsCost;
        case ReadingKind::kRussianOnEnglishKeys:
        case ReadingKind::kEnglishOnRussianKeys:
            return kLayoutMarginBits + kMarginShare * asIsCost;
        case ReadingKind::kLatinLookAlikes:
        case ReadingKind::kCyrillicLookAlikes:
            return kLookAlikeMarginBits + kLookAlikeMarginShare * asIsCost;
        case ReadingKind::kMacCyrillicAsCp1251:
            return kFewLettersMarginBits + kLookAlikeMarginShare * asIsCost;
        default:
            return kMarginBits + kMarginShare * asIsCost;
    }
}

double TextCost(std::u16string_view text) {
    return static_cast<double>(Cost(text, false, false)) / 8.0;
}

std::u16string SwapLayout(std::u16string_view text, bool russian) {
    const UnitMap& map = SwapMaps()[russian ? 0 : 1];
    std::u16string out(text.size(), u'\0');
    std::transform(text.begin(), text.end(), out.begin(), [&](char16_t c) { return map[c]; });
    return out;
}

namespace {

// What a reading read, or `text` as it is where it could not (copied only then: value_or
// would copy it every time).
std::u16string ReadOrKeep(std::optional<std::u16string>&& read, std::u16string_view text) {
    return read ? std::move(*read) : std::u16string(text);
}

// The text of a reading of `body`, held or not.
std::optional<std::u16string> TextOf(const Reading& reading, std::u16string_view body) {
    if (reading.kind != ReadingKind::kPieces) {
        return ReadText(kRecipes[static_cast<std::size_t>(reading.kind)], body);
    }
    std::u16string out;
    out.reserve(body.size());
    std::size_t at = 0;
    for (const Piece& piece : reading.pieces) {
        out += body.substr(at, piece.begin - at);
        const auto read = ReadText(kRecipes[static_cast<std::size_t>(piece.kind)],
                                   body.substr(piece.begin, piece.end - piece.begin));
        if (!read) return std::nullopt;
        out += *read;
        at = piece.end;
    }
    out += body.substr(at);
    return out;
}

// The readings of `body`, the one to use first; with `holdAll` each holds its text (a reading of
// the text itself holds none), otherwise only the first, for ConvertAuto to take.
std::vector<Reading> Decide(std::u16string_view body, bool holdAll) {
    const auto scoring = std::make_unique<Scoring>(body);
    const bool latinOnly = scoring->LatinOnly();
    const Whole& asIs = scoring->WholeOf(0);
    const double asIsScore = -static_cast<double>(asIs.cost) / 8.0;

    // The readings of the whole text that change it, without repeats, in the order of their kinds.
    std::vector<Reading> whole;
    std::vector<std::optional<std::u16string>> texts;  // held as they are needed
    const auto textOf = [&](std::size_t i) -> const std::u16string& {
        // Every word of a reading of the whole text was read, so the text can be.
        if (!texts[i]) texts[i] = ReadOrKeep(TextOf(whole[i], body), body);
        return *texts[i];
    };
    std::vector<std::int64_t> costs;
    for (int r = 0; r < kRecipeCount; ++r) {
        const Whole& w = scoring->WholeOf(r);
        if (r != 0 && (!w.applies || !w.changes)) continue;
        Reading reading;
        reading.kind = kRecipes[r].kind;
        reading.score = -static_cast<double>(w.cost) / 8.0;
        reading.original = r == 0 || kRecipes[r].op == Op::kTranslit;
        reading.source = kRecipes[r].op == Op::kTranslit ? kTranslit : kUnicode;
        whole.push_back(std::move(reading));
        texts.emplace_back();
        costs.push_back(w.cost);
        // Two readings that give the same text score the same: only then are the texts compared.
        const std::size_t last = whole.size() - 1;
        const int sibling = SiblingOf(kRecipes[r].kind).reading;
        for (std::size_t k = 0; k < last; ++k) {
            // A sibling that read every word as this one did gave the same text.
            const bool twin = static_cast<int>(whole[k].kind) == sibling && w.likeSibling;
            if (twin || (costs[k] == costs[last] && textOf(k) == textOf(last))) {
                whole.pop_back();
                texts.pop_back();
                costs.pop_back();
                break;
            }
        }
    }
    const std::u16string_view trimmed = Trimmed(body);
    const bool loneLetter = IsLoneLetter(body);
    // What the text gains for being one word of the word lists, 0 if it is not one.
    std::optional<int> knownWord;
    const auto singleKnownWord = [&] {
        if (!knownWord) knownWord = KnownWordGain(trimmed);
        return *knownWord;
    };
    // A single English word of the lists is no Translit but by a margin as wide as what a known
    // word gains: «Problem» is a word either way, and was written as English.
    const auto knownWordMargin = [&](ReadingKind kind) {
        return kind == ReadingKind::kTranslitText && latinOnly
                   ? static_cast<double>(singleKnownWord()) / 8.0
                   : 0.0;
    };
    // Whether the text is a word of two to four capitals alone, white space around it aside: an
    // abbreviation, mostly («XFCE», «GNU», «ПК»), of which the letter models know nothing. The
    // readings that keep the letters' case (Translit, the layouts) would make another
    // abbreviation of it, no likelier: they leave it. So they do a letter alone, which tells
    // nothing of how it was typed («k», «z»). So they do a code of such abbreviations and letters
    // with digits and marks between them («DTK2000», «PNM/PBM/PGM», «A4»), and a name of code in
    // capitals joined by «_» («NT_GNU_PROPERTY_TYPE_0», «O_RDONLY»).
    const bool abbreviation = [&] {
        const std::size_t n = trimmed.size();
        if (loneLetter ||
            (n >= 2 && n <= 4 && std::all_of(trimmed.begin(), trimmed.end(), IsCapital))) {
            return true;
        }
        int run = 0, capitals = 0;
        bool between = false, joined = false, longer = false;  // digits or marks, «_», a word
        for (const char16_t c : trimmed) {
            if (IsCapital(c)) {
                longer |= ++run > 4;
                ++capitals;
            } else if ((c >= u'0' && c <= u'9') ||
                       std::u16string_view(u"/-_.+").find(c) != std::u16string_view::npos) {
                run = 0;
                between = true;
                joined |= c == u'_';
            } else {
                return false;
            }
        }
        return capitals > 0 && between && (!longer || joined);
    }();
    const auto keepsCase = [](ReadingKind kind) {
        return kind == ReadingKind::kTranslitText || kind == ReadingKind::kRussianOnEnglishKeys ||
               kind == ReadingKind::kEnglishOnRussianKeys;
    };
    // But an abbreviation is made of words' first letters, and some letters seldom begin a Russian
    // word while their keys' letters often begin English ones: «ЕШЬУ», «ГЫИ» are TIME and USB
    // typed on the Russian layout, no Russian abbreviation. English typed on the Russian layout
    // reads one that is no word of the lists where its letters are likelier first letters by
    // kAbbreviationMarginBits. (Not the other way: Latin capitals in Russian text are mostly what
    // they are, Roman numerals among them, «XX» no less than «VII».)
    // So does it where it gives an English word of the lists of three letters or more («ДШТУ»,
    // LINE), as no Russian abbreviation of the Russian list does. Whether a word in capitals is
    // one of the lists is asked in small letters («ВЫ» is «вы», no DS).
    // Capitals standing alone in a code («4+Й+6») tell no more than a letter alone does: the
    // initials of an abbreviation are two in a row at least.
    const auto readsAbbreviation = [&](std::size_t i) {
        const CharInfo& info = Info();
        const auto initials = [&](char16_t a, char16_t b) {
            return info[a].kind == kRuUpper && info[b].kind == kRuUpper;
        };
        if (whole[i].kind != ReadingKind::kEnglishOnRussianKeys ||
            std::adjacent_find(trimmed.begin(), trimmed.end(), initials) == trimmed.end() ||
            KnownWordGain(LowerCase(trimmed)) != 0) {
            return false;
        }
        const std::u16string read = LowerCase(Trimmed(textOf(i)));
        // (Letters the Russian layout has no key for were not typed on it: «ЙЇЕФ» is no «QЇTA».)
        if (HasCyrillic(read)) return false;
        return InitialsCost(trimmed) - InitialsCost(read) >= kAbbreviationMarginBits * 8 ||
               (read.size() >= 3 && KnownWordGain(read) != 0);
    };
    // KOI8-R and CP 1251 read as each other, which swap the case of Russian letters.
    const auto swapsCase = [](ReadingKind kind) {
        return kind == ReadingKind::kKoi8RAsCp1251 || kind == ReadingKind::kCp1251AsKoi8R;
    };
    // The byte mix-ups of KOI8 and CP 1251 turn a word of small letters into one of capitals
    // («ДЮ» is «да»), so they take a Russian abbreviation or unit for one («ТБ» as «ра», «%.1f
    // ТБ»), and a capitalised one into a small letter before capitals, the shape of a unit («мЕ»
    // is «Не», «мА» no «Лю»). Whether `word`, where its letters are two to four Russian capitals
    // (an abbreviation: «ОС», «ФС») or, with `units`, a small letter before one or two (a unit),
    // is read as no word of the lists by them, which give it as `read`; nothing where it is no
    // such word.
    const auto abbreviationReadAsNoWord = [](std::u16string_view word, std::u16string_view read,
                                             bool units = true) -> std::optional<bool> {
        const CharInfo& info = Info();
        const auto letters = std::count_if(word.begin(), word.end(), IsLetter);
        const auto first = std::find_if(word.begin(), word.end(), IsLetter);
        const bool unit =
            units && first != word.end() && info[*first].kind == kRuLower;  // «мА», «кВА»
        if (letters < 2 || letters > (unit ? 3 : 4) ||
            std::any_of(unit ? first + 1 : word.begin(), word.end(),
                        [&](char16_t c) { return IsLetter(c) && info[c].kind != kRuUpper; })) {
            return std::nullopt;
        }
        // The word it reads (of Russian letters: those of KOI8-R and CP 1251 read as each
        // other); the lists write «е» for «ё» («всё»).
        std::u16string known(RussianLetters(read));
        std::replace(known.begin(), known.end(), u'ё', u'е');
        return KnownWordGain(known) == 0;
    };
    // Where every word they change is of two to four capitals, each must give a word of the lists.
    const auto abbreviationsRead = [&](std::size_t i) {
        const ReadingKind kind = whole[i].kind;
        if (!swapsCase(kind)) {
            return false;  // (KOI8-U: the lists hold no Ukrainian words)
        }
        const std::u16string& text = textOf(i);
        if (text.size() != body.size()) return false;
        bool unknown = false;
        for (std::size_t b = 0; b < body.size();) {
            std::size_t e = b;
            while (e < body.size() && !IsWhiteSpace(body[e])) ++e;
            const std::u16string_view word = body.substr(b, e - b);
            const std::u16string_view read = std::u16string_view(text).substr(b, e - b);
            if (word != read) {
                const std::optional<bool> noWord = abbreviationReadAsNoWord(word, read);
                if (!noWord) return false;
                unknown |= *noWord;
            }
            b = e;
            while (b < body.size() && IsWhiteSpace(body[b])) ++b;
        }
        return unknown;
    };
    // A capital «С» standing alone amid a sentence, between words in small letters («первое поле С
    // это»), is all but unknown to Russian, where the dash that MacCyrillic writes with its byte
    // stands so often («поле — это»): each tells of MacCyrillic by kDashBits, and costs it no
    // junk. So does a «Р», its en dash, alone before a word in small letters anywhere («Р кнопка»
    // for «– кнопка»): no word of Russian, where «С» is one.
    std::optional<std::ptrdiff_t> dashesAmid;
    const auto dashesAmidWords = [&] {
        if (dashesAmid) return *dashesAmid;
        const CharInfo& info = Info();
        const auto small = [&](char16_t c) { return info[c].kind == kRuLower; };
        std::ptrdiff_t n = 0;
        for (std::size_t c = 0; c + 2 < body.size(); ++c) {
            if (!IsWhiteSpace(body[c + 1]) || !small(body[c + 2])) continue;
            if (body[c] == u'Р' && (c == 0 || IsWhiteSpace(body[c - 1]))) {
                ++n;
            } else if (body[c] == u'С' && c >= 2 && IsWhiteSpace(body[c - 1]) &&
                       (small(body[c - 2]) || std::u16string_view(u"),;").find(body[c - 2]) !=
                                                  std::u16string_view::npos)) {
                ++n;
            }
        }
        dashesAmid = n;
        return n;
    };
    // Whether a reading adds no characters that are no part of Russian or English text.
    // MacCyrillic, which turns capitals into dashes and quotes («С помощью» into «— помощью»), must
    // keep every letter besides.
    std::optional<std::ptrdiff_t> lettersOfBody;
    const auto bodyLetters = [&] {
        if (!lettersOfBody) lettersOfBody = Letters(body);
        return *lettersOfBody;
    };
    // But a long text typed on the other layout whose original had brackets and the like («[»,
    // «{», «<»): the keys give them back. The layouts may add one such character in a hundred
    // letters, where they gain what a piece pays for it (kPieceJunkBits) beyond their margin
    // (`excess`).
    const auto clean = [&](std::size_t i, double excess) {
        const Reading& r = whole[i];
        const std::int64_t junk = scoring->WholeOf(static_cast<int>(r.kind)).junk;
        // Nor is a text of such characters without a letter of either alphabet any likelier as
        // Russian or English for having fewer of them: «Å£» (KOI8's «её» shown as Latin-1) is
        // no «ţ», though UTF-8 read as CP 1252 gives that one letter for its two characters. And
        // a text of letters is no likelier for having none: «Ф-Ф» is no «”-”» of CP 1251 shown
        // as 866.
        if ((junk > 0 || bodyLetters() > 0) && Letters(textOf(i)) == 0) return false;
        const std::int64_t added = junk - asIs.junk;
        if (added > 0) {
            const bool layout = r.kind == ReadingKind::kRussianOnEnglishKeys ||
                                r.kind == ReadingKind::kEnglishOnRussianKeys;
            if (!layout || added * 100 > bodyLetters() ||
                excess < kPieceJunkBits * static_cast<double>(added)) {
                return false;
            }
        }
        if (r.kind != ReadingKind::kMacCyrillicAsCp1251) return true;
        // Guillemets may take the place of letters: MacCyrillic's «» are CP 1251's «З», «И»
        // («ЗтолькоИ»); where they stand out of their place the model charges them.
        const auto guillemets = [](std::u16string_view t) {
            return std::count_if(t.begin(), t.end(),
                                 [](char16_t c) { return c == u'«' || c == u'»'; });
        };
        // So may its “”, CP 1251's «Т», «У» («Тфизический томУ»), where they open and close a
        // word.
        const std::u16string& text = textOf(i);
        std::ptrdiff_t quotes = 0;
        if (text.size() == body.size()) {
            const auto letter = [&](std::size_t k) { return k < text.size() && IsLetter(text[k]); };
            const auto edge = [&](std::size_t k) {
                return k >= text.size() || IsWhiteSpace(text[k]) ||
                       std::u16string_view(u".,;:!?()").find(text[k]) != std::u16string_view::npos;
            };
            for (std::size_t k = 0; k < text.size(); ++k) {
                quotes += IsLetter(body[k]) &&
                          ((text[k] == u'“' && (k == 0 || edge(k - 1)) && letter(k + 1)) ||
                           (text[k] == u'”' && k > 0 && letter(k - 1) && edge(k + 1)));
            }
        }
        const std::ptrdiff_t lost =
            bodyLetters() - (Letters(text) + guillemets(text) - guillemets(body) + quotes);
        if (lost <= 0) return true;
        // But a dash standing alone between words is a letter standing alone in CP 1251 («С это
        // команда длЯ» is «— это команда для»): where the rest of the text makes up for it, as a
        // piece would (kPieceJunkBits each).
        if (text.size() != body.size()) return false;
        std::ptrdiff_t dashes = 0;
        for (std::size_t c = 0; c < text.size(); ++c) {
            if (text[c] != u'—' && text[c] != u'–') continue;
            if ((c == 0 || IsWhiteSpace(body[c - 1])) &&
                (c + 1 == body.size() || IsWhiteSpace(body[c + 1]))) {
                ++dashes;
            }
        }
        return lost <= dashes &&
               excess >= kPieceJunkBits * static_cast<double>(lost - dashesAmidWords());
    };

    // The text as it is, unless the best of the others that beats it by its margin and adds no
    // characters that are no part of Russian or English text. Translit and Russian typed on the
    // English layout read the same Latin letters with margins of their own: of the two, the one
    // that beats its margin by more («Byl» is «Был», though «Инд» scores a little better).
    std::vector<std::size_t> order(whole.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin() + 1, order.end(),
                     [&](std::size_t x, std::size_t y) { return whole[x].score > whole[y].score; });
    std::size_t chosen = 0;
    double chosenBy = 0.0;  // how far the reading chosen beats its margin
    const auto latinRead = [](ReadingKind k) {
        return k == ReadingKind::kTranslitText || k == ReadingKind::kRussianOnEnglishKeys;
    };
    // A reading some word of which fell far behind is scored whole before it may be used.
    std::vector<bool> exact(whole.size(), false);
    const auto scoreExactly = [&](std::size_t i) {
        if (exact[i] || !scoring->WholeOf(static_cast<int>(whole[i].kind)).bound) return;
        const bool webWords = whole[i].kind != ReadingKind::kTranslitText;
        whole[i].score = -static_cast<double>(Cost(textOf(i), false, webWords, latinOnly)) / 8.0;
        exact[i] = true;
    };
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::size_t i = order[k];
        // How far the reading beats the text as it is beyond its margin.
        const auto excess = [&] {
            const Reading& r = whole[i];
            const double cost =
                ChangesFewWords(r.kind)
                    ? static_cast<double>(scoring->WholeOf(static_cast<int>(r.kind)).changedCost) /
                          8.0
                    : -asIsScore;
            double by =
                r.score - asIsScore - Margin(r.kind, cost, latinOnly) - knownWordMargin(r.kind);
            if (r.kind == ReadingKind::kMacCyrillicAsCp1251) {
                by += kDashBits * static_cast<double>(dashesAmidWords());
            }
            // Letters for what were none: MacCyrillic needs its share alone. (Its text is made
            // only where that may decide.)
            if (r.kind == ReadingKind::kMacCyrillicAsCp1251 && by + kFewLettersMarginBits > 0 &&
                Letters(textOf(i)) > bodyLetters()) {
                return by + kFewLettersMarginBits;
            }
            return by;
        };
        if (chosen != 0 && !(latinRead(whole[chosen].kind) && latinRead(whole[i].kind))) continue;
        if (loneLetter) break;
        // A bound that does not beat the text as it is, the reading does not either.
        if (abbreviation && keepsCase(whole[i].kind)) {
            if (!readsAbbreviation(i)) continue;
            chosen = i;  // none was before: the Latin readings decide an abbreviation only here
            break;
        }
        if (excess() <= chosenBy || abbreviationsRead(i)) continue;
        scoreExactly(i);
        if (const double by = excess(); by > chosenBy && clean(i, by)) {
            chosen = i;
            chosenBy = by;
        }
    }

    // The best reading in pieces, its pieces read whole where one reading gives the same text.
    struct Part {
        std::size_t begin, end;  // in `body`
        ReadingKind kind;
        ReadingKind read;                    // a reading that gives its text
        std::optional<std::u16string> text;  // held once it is needed
    };
    std::vector<Part> parts;
    for (const auto& stretch : scoring->Stretches()) {
        const ReadingKind kind = kRecipes[stretch.reading].kind;
        // A letter alone in a piece of its own is left as it is, as a text of one letter is: a
        // capital «Н» before a word with a look-alike is no «Y» of the layout.
        const ReadingKind read =
            IsLoneLetter(body.substr(stretch.begin, stretch.end - stretch.begin))
                ? ReadingKind::kAsIs
                : kind;
        parts.push_back({stretch.begin, stretch.end, read, read, {}});
    }
    const auto partText = [&](Part& part) -> const std::u16string& {
        if (!part.text) {
            // The reading read every word of it.
            const std::u16string_view range = body.substr(part.begin, part.end - part.begin);
            part.text =
                ReadOrKeep(ReadText(kRecipes[static_cast<std::size_t>(part.read)], range), range);
        }
        return *part.text;
    };
    const auto sameAs = [&](Part& part, ReadingKind kind) {
        if (part.kind == kind) return true;
        const Recipe& mine = kRecipes[static_cast<std::size_t>(part.read)];
        const Recipe& other = kRecipes[static_cast<std::size_t>(kind)];
        const std::u16string_view range = body.substr(part.begin, part.end - part.begin);
        if (mine.op != Op::kTranslit && other.op != Op::kTranslit) {
            return ReadsAlike(mine, other, range);
        }
        const auto read = ReadText(other, range);
        return read && *read == partText(part);
    };
    if (parts.size() > 1) {
        for (Part& part : parts) {
            if (sameAs(part, whole[chosen].kind)) part.kind = whole[chosen].kind;
        }
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (sameAs(parts[i], parts[i - 1].kind)) parts[i].kind = parts[i - 1].kind;
        }
        for (std::size_t i = parts.size() - 1; i-- > 0;) {
            if (sameAs(parts[i], parts[i + 1].kind)) parts[i].kind = parts[i + 1].kind;
        }
        std::vector<Part> merged;
        for (Part& part : parts) {
            if (merged.empty() || merged.back().kind != part.kind) {
                merged.push_back(std::move(part));
                continue;
            }
            // The piece reads as `kind` reads it alone: a word at a time, or Translit the run
            // whole (a verbatim section «<* ... *>» may span the pieces it was made of).
            Part& back = merged.back();
            back.read = part.kind;
            back.text.reset();
            back.end = part.end;
        }
        parts = std::move(merged);
        // An abbreviation at the edge of a piece of KOI8-R and CP 1251 read as each other, beside
        // the text as it is, stays with the text as it is where it reads as no word of the lists:
        // «При установке ОС НОХЯЮК ЛМНЦН» is «ОС описал много», not «пу описал много». Not a
        // unit's shape: a garbled line's short name is one as often («дЦ.» is «Дж.»).
        const auto edgeAbbreviation = [&](const Part& part, std::size_t from, std::size_t to) {
            if (!swapsCase(part.kind)) return false;
            const std::u16string_view word = body.substr(from, to - from);
            const auto read = ReadText(kRecipes[static_cast<std::size_t>(part.read)], word);
            return read && abbreviationReadAsNoWord(word, *read, false).value_or(false);
        };
        for (std::size_t i = 0; i < parts.size(); ++i) {
            Part& part = parts[i];
            std::size_t first = part.begin;
            while (first < part.end && !IsWhiteSpace(body[first])) ++first;
            std::size_t last = part.end;
            while (last > part.begin && !IsWhiteSpace(body[last - 1])) --last;
            if (first >= last) continue;  // a piece of one word
            if (i > 0 && parts[i - 1].kind == ReadingKind::kAsIs &&
                edgeAbbreviation(part, part.begin, first)) {
                parts[i - 1].end = first;
                parts[i - 1].text.reset();
                while (IsWhiteSpace(body[first])) ++first;
                part.begin = first;
                part.text.reset();
            }
            if (i + 1 < parts.size() && parts[i + 1].kind == ReadingKind::kAsIs &&
                last > part.begin && edgeAbbreviation(part, last, part.end)) {
                parts[i + 1].begin = last;
                parts[i + 1].text.reset();
                while (last > part.begin && IsWhiteSpace(body[last - 1])) --last;
                part.end = last;
                part.text.reset();
            }
        }
    }

    std::vector<Reading> readings;
    if (parts.size() == 1 && whole[chosen].kind == ReadingKind::kAsIs) {
        // One reading of the whole text, where the margins of the whole text would have kept it
        // as it is: a text whose changed words are few among many others.
        for (std::size_t i = 1; i < whole.size(); ++i) {
            if (whole[i].kind != parts[0].kind) continue;
            scoreExactly(i);
            const double by = whole[i].score - asIsScore - knownWordMargin(whole[i].kind);
            if (by > 0 && clean(i, by) && !(abbreviation && keepsCase(whole[i].kind)) &&
                !abbreviationsRead(i)) {
                chosen = i;
            }
        }
    }
    if (parts.size() > 1) {
        Reading pieces;
        pieces.kind = ReadingKind::kPieces;
        pieces.original = false;
        std::size_t at = 0, line = 1;
        const auto lineAt = [&](std::size_t position) {
            line += static_cast<std::size_t>(
                std::count(body.begin() + static_cast<std::ptrdiff_t>(at),
                           body.begin() + static_cast<std::ptrdiff_t>(position), u'\n'));
            at = position;
            return line;
        };
        // The text in pieces costs what its pieces and the white space between them cost: the
        // model reads no word across white space.
        const CharInfo& info = Info();
        const auto spaceCost = [&](std::size_t from, std::size_t to) {
            std::int64_t cost = 0;
            for (std::size_t c = from; c < to; ++c) cost += kKindCost[info[body[c]].kind];
            return cost;
        };
        std::size_t written = 0;
        std::int64_t piecesCost = 0;
        double translitLeeway = 0.0;  // what Translit's margin lets its pieces fall behind
        for (Part& part : parts) {
            const std::u16string& text = partText(part);
            pieces.text += body.substr(written, part.begin - written);
            pieces.text += text;
            const auto kind = static_cast<int>(part.kind);
            const std::int64_t cost = kRecipes[kind].op == Op::kTranslit
                                          ? Cost(text, false, false, latinOnly)
                                          : scoring->CostOf(kind, part.begin, part.end);
            piecesCost += spaceCost(written, part.begin) + cost;
            if (part.kind == ReadingKind::kTranslitText) {
                const double plain = static_cast<double>(scoring->CostOf(0, part.begin, part.end));
                translitLeeway += std::max(0.0, -Margin(part.kind, plain / 8.0, latinOnly));
            }
            written = part.end;
            Piece piece;
            piece.begin = part.begin;
            piece.end = part.end;
            piece.firstLine = lineAt(part.begin);
            piece.lastLine = lineAt(part.end);
            piece.kind = part.kind;
            piece.score = -static_cast<double>(cost) / 8.0;
            pieces.pieces.push_back(piece);
        }
        pieces.text += body.substr(written);
        piecesCost += spaceCost(written, body.size());
        pieces.score = -static_cast<double>(piecesCost) / 8.0;
        // A reading of the whole text that gives the same is that reading. The same text costs
        // the same: only such readings (and those scored as a bound) are compared.
        const auto sameText = [&](std::size_t i) {
            const bool bound = scoring->WholeOf(static_cast<int>(whole[i].kind)).bound;
            return !whole[i].original && (costs[i] == piecesCost || bound) &&
                   textOf(i) == pieces.text;
        };
        std::size_t same = whole.size();
        for (std::size_t i = 0; i < whole.size() && same == whole.size(); ++i) {
            if (sameText(i)) same = i;
        }
        // The junk a piece takes away counts for it beyond the model (kTakenJunkCost), which
        // tells where its stretch ends, but the text in pieces is used only where the model finds
        // it no less likely than the text as it is, but for what Translit's margin lets its own
        // pieces score below their letters read as English (never what the other pieces lose).
        if (pieces.score < asIsScore - translitLeeway ||
            (chosen != 0 && whole[chosen].score >= pieces.score)) {
            // The readings of the whole text decide: the one chosen explains the text as well
            // as the pieces do.
        } else if (same == whole.size()) {
            readings.push_back(std::move(pieces));
        } else {
            chosen = same;
        }
    }
    if (readings.empty()) readings.push_back(whole[chosen]);
    // Then the readings of the whole text by score, the text as it is among them.
    std::vector<std::size_t> rest;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (readings.front().kind == ReadingKind::kPieces || i != chosen) rest.push_back(i);
    }
    std::stable_sort(rest.begin(), rest.end(),
                     [&](std::size_t x, std::size_t y) { return whole[x].score > whole[y].score; });
    readings.reserve(rest.size() + 1);
    for (const std::size_t i : rest) readings.push_back(whole[i]);
    // The texts: every reading's, or the first's alone.
    for (std::size_t k = 0; k < readings.size(); ++k) {
        Reading& r = readings[k];
        if (r.original || r.kind == ReadingKind::kPieces || (!holdAll && k > 0)) continue;
        const auto i = static_cast<std::size_t>(
            std::find_if(whole.begin(), whole.end(),
                         [&](const Reading& w) { return w.kind == r.kind; }) -
            whole.begin());
        r.text = textOf(i);
    }
    return readings;
}

}  // namespace

std::vector<Reading> ListReadings(std::u16string_view text) {
    return Decide(text.substr(0, text.find(u'\0')), true);
}

void ConvertWithReading(const Reading& reading, TextFormat dest, std::u16string& text) {
    if (reading.original) {
        ConvertText(reading.source, dest, text);
        return;
    }
    const std::size_t nul = text.find(u'\0');
    const bool terminated = nul != std::u16string::npos;
    const std::u16string_view body = std::u16string_view(text).substr(0, nul);
    std::u16string repaired = reading.text;
    if (repaired.empty() && !body.empty()) repaired = ReadOrKeep(TextOf(reading, body), body);
    text = std::move(repaired);
    if (terminated) text.push_back(u'\0');
    ConvertText(reading.source, dest, text);
}

std::vector<Reading> ConvertAuto(TextFormat dest, std::u16string& text) {
    std::vector<Reading> readings =
        Decide(std::u16string_view(text).substr(0, text.find(u'\0')), false);
    Reading& first = readings.front();
    if (first.original) {
        ConvertText(first.source, dest, text);
    } else {
        // The repaired text takes the place of the text, with no copy of it.
        const bool terminated = text.find(u'\0') != std::u16string::npos;
        text = std::move(first.text);
        first.text.clear();
        if (terminated) text.push_back(u'\0');
        ConvertText(first.source, dest, text);
    }
    return readings;
}

}  // namespace litvorot
