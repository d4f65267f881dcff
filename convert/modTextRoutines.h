// The conversion driver: rewriting a whole text from one format into another.
//
// Positions are 1-based like the rest of the program's text handling, but held in size_t: texts
// longer than 32,767 characters convert whole, with the same results the short ones give.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tables/modTables.h"

namespace litvorot {

// Rewrites `text` in place from `source` into `dest`. Equal formats leave it untouched; otherwise
// the spaces at both ends are kept and everything between is converted letter by letter. A text
// taken from the clipboard normally ends with its terminating NUL, which the driver relies on.
void ConvertText(TextFormat source, TextFormat dest, std::u16string& text);

// The character at `position` as a one-character view, or an empty view beyond the end. Adds 1 to
// `position` in both cases.
std::u16string_view NextChar(std::u16string_view text, std::size_t& position);

// The character written for `code` in `format`: for Unicode (4) the unit itself, for any other
// format the character the byte `code` stands for in the ANSI code page in use.
std::u16string CodeToChar(TextFormat format, int code);

// Spaces (U+0020 only) at the start of `text`.
std::size_t CountLeadingSpaces(std::u16string_view text);

// Spaces going backwards from the second-to-last character: for a terminated text, the spaces
// just before the terminator. A text of 0 or 1 characters gives 0.
std::size_t CountTrailingSpaces(std::u16string_view text);

// Writes letter `index` in `dest` at the end of `out`: a byte through the ANSI code page, a
// Unicode unit, or a Latin string. Returns false, writing nothing, when `dest` is no valid format.
bool WriteLetter(TextFormat dest, LetterIndex index, std::u16string& out);

// How every letter is written in one destination format under the code page in use, taken once
// from TableValue so that writing a letter needs no lookup. Gives exactly what WriteLetter gives.
class LetterWriter {
  public:
    explicit LetterWriter(TextFormat dest);

    // Whether the destination is a valid format, so that letters can be written.
    bool Valid() const { return valid_; }
    // The longest form of a letter, in UTF-16 units (4 for Translit, else 1).
    std::size_t MaxLength() const { return maxLength_; }

    // Writes letter `index` (1..66) at `out` and returns the position behind it; returns nullptr,
    // writing nothing, when the destination is no valid format.
    char16_t* Write(LetterIndex index, char16_t* out) const;
    // The first unit of letter `index`'s form (all of it when MaxLength() is 1).
    char16_t First(LetterIndex index) const { return forms_[index].units[0]; }
    std::size_t Length(LetterIndex index) const { return forms_[index].length; }
    bool Write(LetterIndex index, std::u16string& out) const;

  private:
    struct Form {
        char16_t units[4] = {};
        unsigned char length = 0;
    };
    bool valid_;
    std::size_t maxLength_ = 1;
    Form forms_[kLetterCount + 1];
};

// The same conversion as ConvertText, through a table lookup for every character; kept as the
// reference that the faster path is checked against.
void ConvertTextPlain(TextFormat source, TextFormat dest, std::u16string& text);

}  // namespace litvorot
