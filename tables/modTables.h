// The letter tables: the 66 letters of the Russian alphabet and their values in the four text
// formats. Filled once by BuildTables and read-only afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

namespace litvorot {

// A text representation: 1 KOI8, 2 CP 1251, 3 Translit, 4 Unicode. Other values can arrive from a
// hand-edited settings file; the lookups answer them with "Invalid table".
using TextFormat = std::int16_t;
inline constexpr TextFormat kKoi8 = 1;
inline constexpr TextFormat kCp1251 = 2;
inline constexpr TextFormat kTranslit = 3;
inline constexpr TextFormat kUnicode = 4;
// The automatic source (a source only): repairs a text that went wrong on the way, whatever way
// that was. Stored as 5 in the settings file; the converter takes it as `auto`.
inline constexpr TextFormat kAuto = 5;

constexpr bool IsValidFormat(TextFormat format) { return format >= kKoi8 && format <= kUnicode; }

// 1..33 the lower-case letters (ё right after е), 34..66 the capitals in the same order; 0 = no
// letter.
using LetterIndex = std::int16_t;
inline constexpr LetterIndex kLetterCount = 66;
inline constexpr LetterIndex kCaseOffset = 33;

// The index of a Russian letter written as its Unicode character (u'щ', u'Ё'), 0 for any other
// character: the tables keep the alphabet's order, ё right after е, capitals after the small
// letters. Lets code name letters instead of numbering them.
constexpr LetterIndex Letter(char16_t c) {
    if (c == u'ё') return 7;
    if (c == u'Ё') return 7 + kCaseOffset;
    if (c >= u'а' && c <= u'е') return static_cast<LetterIndex>(c - u'а' + 1);
    if (c >= u'ж' && c <= u'я') return static_cast<LetterIndex>(c - u'а' + 2);
    if (c >= u'А' && c <= u'Е') return static_cast<LetterIndex>(c - u'А' + 1 + kCaseOffset);
    if (c >= u'Ж' && c <= u'Я') return static_cast<LetterIndex>(c - u'А' + 2 + kCaseOffset);
    return 0;
}

inline constexpr std::string_view kInvalidTableMessage = "Invalid table";

// What TableValue gives: nothing (invalid format), a byte (KOI8, CP 1251), a Latin string
// (Translit) or a UTF-16 code unit (Unicode).
using TableEntry = std::variant<std::monostate, std::uint8_t, std::u16string_view, std::int16_t>;

// Writes all 4 x 66 entries. Running it again writes the same values.
void BuildTables();

// The entry of `index` (1..66) in the table of `format`. Throws std::out_of_range for any other
// index. A format outside 1..4 shows "Invalid table" and gives the empty entry.
TableEntry TableValue(TextFormat format, LetterIndex index);

// The first index whose entry equals `code` (a UTF-16 unit read as a signed 16-bit number; bytes
// compare numerically, so code 193 finds KOI8 byte C1). 0 when none does. Format 3 never matches a
// code; a format outside 1..4 shows "Invalid table" and gives 0.
LetterIndex TableIndex(TextFormat format, std::int16_t code);

// The first index whose Translit entry equals `value` exactly (whole string, case-sensitive).
// Formats 1, 2 and 4 never match a string; a format outside 1..4 shows "Invalid table" and gives 0.
LetterIndex TableIndex(TextFormat format, std::u16string_view value);

// The letter index of every UTF-16 unit below kCodeIndexSize in format 1, 2 or 4, built from the
// tables whenever BuildTables writes them: for each unit the same first match that TableIndex
// finds, without the scan (no entry of those formats lies at or above kCodeIndexSize, so every
// other unit is no letter). Null for any other format, and before BuildTables has run.
inline constexpr std::size_t kCodeIndexSize = 0x500;
const LetterIndex* CodeIndexMap(TextFormat format);

// Reports "Invalid table". Inside a conversion (see InvalidTableOnce) it is shown only once.
void ReportInvalidTable();

// While one of these lives on the current thread, "Invalid table" is shown at most once: a
// conversion of a long text with a bad format would otherwise show one box per character.
class InvalidTableOnce {
  public:
    InvalidTableOnce();
    ~InvalidTableOnce();
    InvalidTableOnce(const InvalidTableOnce&) = delete;
    InvalidTableOnce& operator=(const InvalidTableOnce&) = delete;

  private:
    bool outer_;
};

}  // namespace litvorot
