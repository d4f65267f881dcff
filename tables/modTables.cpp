#include "tables/modTables.h"

#include <array>
#include <stdexcept>
#include <string>

#include "tables/modMessages.h"

namespace litvorot {

namespace {

struct LetterRow {
    char16_t unicode;
    std::uint8_t koi8;
    std::uint8_t cp1251;
    std::u16string_view translit;
};

// Index 1..66: lower case (ё right after е), then the capitals in the same order.
constexpr std::array<LetterRow, kLetterCount> kLetters{{
    {u'а', 0xC1, 0xE0, u"a"},  {u'б', 0xC2, 0xE1, u"b"},  {u'в', 0xD7, 0xE2, u"v"},
    {u'г', 0xC7, 0xE3, u"g"},  {u'д', 0xC4, 0xE4, u"d"},  {u'е', 0xC5, 0xE5, u"e"},
    {u'ё', 0xA3, 0xB8, u"e"},  {u'ж', 0xD6, 0xE6, u"zh"}, {u'з', 0xDA, 0xE7, u"z"},
    {u'и', 0xC9, 0xE8, u"i"},  {u'й', 0xCA, 0xE9, u"i"},  {u'к', 0xCB, 0xEA, u"k"},
    {u'л', 0xCC, 0xEB, u"l"},  {u'м', 0xCD, 0xEC, u"m"},  {u'н', 0xCE, 0xED, u"n"},
    {u'о', 0xCF, 0xEE, u"o"},  {u'п', 0xD0, 0xEF, u"p"},  {u'р', 0xD2, 0xF0, u"r"},
    {u'с', 0xD3, 0xF1, u"s"},  {u'т', 0xD4, 0xF2, u"t"},  {u'у', 0xD5, 0xF3, u"u"},
    {u'ф', 0xC6, 0xF4, u"f"},  {u'х', 0xC8, 0xF5, u"kh"}, {u'ц', 0xC3, 0xF6, u"ts"},
    {u'ч', 0xDE, 0xF7, u"ch"}, {u'ш', 0xDB, 0xF8, u"sh"}, {u'щ', 0xDD, 0xF9, u"shch"},
    {u'ъ', 0xDF, 0xFA, u"\""}, {u'ы', 0xD9, 0xFB, u"y"},  {u'ь', 0xD8, 0xFC, u"'"},
    {u'э', 0xDC, 0xFD, u"e"},  {u'ю', 0xC0, 0xFE, u"iu"}, {u'я', 0xD1, 0xFF, u"ia"},
    {u'А', 0xE1, 0xC0, u"A"},  {u'Б', 0xE2, 0xC1, u"B"},  {u'В', 0xF7, 0xC2, u"V"},
    {u'Г', 0xE7, 0xC3, u"G"},  {u'Д', 0xE4, 0xC4, u"D"},  {u'Е', 0xE5, 0xC5, u"E"},
    {u'Ё', 0xB3, 0xA8, u"E"},  {u'Ж', 0xF6, 0xC6, u"ZH"}, {u'З', 0xFA, 0xC7, u"Z"},
    {u'И', 0xE9, 0xC8, u"I"},  {u'Й', 0xEA, 0xC9, u"I"},  {u'К', 0xEB, 0xCA, u"K"},
    {u'Л', 0xEC, 0xCB, u"L"},  {u'М', 0xED, 0xCC, u"M"},  {u'Н', 0xEE, 0xCD, u"N"},
    {u'О', 0xEF, 0xCE, u"O"},  {u'П', 0xF0, 0xCF, u"P"},  {u'Р', 0xF2, 0xD0, u"R"},
    {u'С', 0xF3, 0xD1, u"S"},  {u'Т', 0xF4, 0xD2, u"T"},  {u'У', 0xF5, 0xD3, u"U"},
    {u'Ф', 0xE6, 0xD4, u"F"},  {u'Х', 0xE8, 0xD5, u"KH"}, {u'Ц', 0xE3, 0xD6, u"TS"},
    {u'Ч', 0xFE, 0xD7, u"CH"}, {u'Ш', 0xFB, 0xD8, u"SH"}, {u'Щ', 0xFD, 0xD9, u"SHCH"},
    {u'Ъ', 0xFF, 0xDA, u"\""}, {u'Ы', 0xF9, 0xDB, u"Y"},  {u'Ь', 0xF8, 0xDC, u"'"},
    {u'Э', 0xFC, 0xDD, u"E"},  {u'Ю', 0xE0, 0xDE, u"IU"}, {u'Я', 0xF1, 0xDF, u"IA"},
}};

// The four tables, indexed 1..66 (element 0 unused). Zeros and empty strings until BuildTables.
std::array<std::uint8_t, kLetterCount + 1> g_koiTable{};
std::array<std::uint8_t, kLetterCount + 1> g_cp1251Table{};
std::array<std::u16string_view, kLetterCount + 1> g_translitTable{};
std::array<std::int16_t, kLetterCount + 1> g_unicodeTable{};

// Unit -> index maps for the numeric formats (KOI8, CP 1251, Unicode), valid once built.
std::array<std::array<LetterIndex, kCodeIndexSize>, 3> g_codeIndex{};
bool g_codeIndexBuilt = false;

template <typename Table>
bool BuildCodeIndex(const Table& table, std::array<LetterIndex, kCodeIndexSize>& map) {
    map.fill(0);
    // Downwards, so that a value shared by several entries ends up with the lowest index.
    for (LetterIndex i = kLetterCount; i >= 1; --i) {
        const auto code = static_cast<std::int64_t>(table[static_cast<std::size_t>(i)]);
        if (code < 0 || code >= static_cast<std::int64_t>(kCodeIndexSize)) return false;
        map[static_cast<std::size_t>(code)] = i;
    }
    return true;
}

thread_local int t_onceDepth = 0;
thread_local bool t_reported = false;

}  // namespace

void BuildTables() {
    for (std::size_t i = 0; i < kLetters.size(); ++i) {
        const LetterRow& letter = kLetters[i];
        g_koiTable[i + 1] = letter.koi8;
        g_cp1251Table[i + 1] = letter.cp1251;
        g_translitTable[i + 1] = letter.translit;
        g_unicodeTable[i + 1] = static_cast<std::int16_t>(letter.unicode);
    }
    g_codeIndexBuilt = BuildCodeIndex(g_koiTable, g_codeIndex[0]) &&
                       BuildCodeIndex(g_cp1251Table, g_codeIndex[1]) &&
                       BuildCodeIndex(g_unicodeTable, g_codeIndex[2]);
}

const LetterIndex* CodeIndexMap(TextFormat format) {
    if (!g_codeIndexBuilt) return nullptr;
    switch (format) {
        case kKoi8:
            return g_codeIndex[0].data();
        case kCp1251:
            return g_codeIndex[1].data();
        case kUnicode:
            return g_codeIndex[2].data();
        default:
            return nullptr;
    }
}

void ReportInvalidTable() {
    if (t_onceDepth > 0) {
        if (t_reported) return;
        t_reported = true;
    }
    ShowMessage(kInvalidTableMessage);
}

InvalidTableOnce::InvalidTableOnce() : outer_(t_onceDepth == 0) {
    ++t_onceDepth;
    if (outer_) t_reported = false;
}

InvalidTableOnce::~InvalidTableOnce() { --t_onceDepth; }

TableEntry TableValue(TextFormat format, LetterIndex index) {
    if (index < 1 || index > kLetterCount) {
        throw std::out_of_range("letter index " + std::to_string(index) + " outside 1..66");
    }
    const auto i = static_cast<std::size_t>(index);
    switch (format) {
        case kKoi8:
            return g_koiTable[i];
        case kCp1251:
            return g_cp1251Table[i];
        case kTranslit:
            return g_translitTable[i];
        case kUnicode:
            return g_unicodeTable[i];
        default:
            ReportInvalidTable();
            return std::monostate{};
    }
}

namespace {
template <typename Table>
LetterIndex ScanNumeric(const Table& table, std::int16_t code) {
    for (LetterIndex i = 1; i <= kLetterCount; ++i) {
        if (table[static_cast<std::size_t>(i)] == code) return i;
    }
    return 0;
}
}  // namespace

LetterIndex TableIndex(TextFormat format, std::int16_t code) {
    switch (format) {
        case kKoi8:
            return ScanNumeric(g_koiTable, code);
        case kCp1251:
            return ScanNumeric(g_cp1251Table, code);
        case kTranslit:
            return 0;
        case kUnicode:
            return ScanNumeric(g_unicodeTable, code);
        default:
            ReportInvalidTable();
            return 0;
    }
}

LetterIndex TableIndex(TextFormat format, std::u16string_view value) {
    if (!IsValidFormat(format)) {
        ReportInvalidTable();
        return 0;
    }
    if (format != kTranslit) return 0;
    for (LetterIndex i = 1; i <= kLetterCount; ++i) {
        if (g_translitTable[static_cast<std::size_t>(i)] == value) return i;
    }
    return 0;
}

}  // namespace litvorot
