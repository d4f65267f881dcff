// The Translit reader: Latin transliteration back into Russian letters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/modTextRoutines.h"
#include "tables/modTables.h"

namespace litvorot {

// Reads the trimmed Translit `text` and writes the converted characters to the end of `buffer`
// (the work buffer of ConvertText; what was never written there counts as spaces). The last
// character of a text longer than one is never the start of a rule, so the clipboard terminator
// is not read. Writes at most one character for each character consumed.
void ReadTranslit(std::u16string_view text, TextFormat dest, std::u16string& buffer);

// The reader itself, which can also take a long text a block at a time: what it writes for the
// blocks one after another is what it writes for the text whole.
class TranslitReader {
  public:
    explicit TranslitReader(TextFormat dest);

    // Reads a whole text, as ReadTranslit does.
    void ReadWhole(std::u16string_view text, std::u16string& out);

    // Reads the next block of a text and appends what it writes to `out`. Unless `last`, it stops
    // where a rule could read on into the next block (at most three characters before the end):
    // the return value is how many characters were read, and the rest must come again at the
    // front of the next block. With `last` the text ends behind the block and every character is
    // read.
    std::size_t Read(std::u16string_view text, bool last, std::u16string& out);

    // Whether the text read so far ends inside a verbatim section, which copies what follows
    // (in a clipboard text, its terminator too).
    bool InVerbatim() const { return verbatim_; }

    // Starts on a new text.
    void Reset() { verbatim_ = false; }

  private:
    void Begin(std::u16string_view text, std::u16string& out);
    void Steps(std::size_t limit, std::size_t verbatimLimit);
    void Plain(std::size_t limit);
    int Next();  // the character at the reading position, or -1 beyond the text; moves on
    void GiveBack(std::size_t count) { position_ -= count; }
    void Write(int c);
    void WriteLetterOf(LetterIndex index, std::size_t start);

    void Step();
    void Digraph(bool lower, char16_t second, char16_t secondUpper, LetterIndex pair,
                 LetterIndex single, std::size_t start);
    void Sibilant(bool lower, std::size_t start);
    void Escape(std::size_t start);
    void Verbatim();

    LetterWriter writer_;
    LetterIndex single_[128] = {};
    bool plain_ = false;
    std::int32_t plainOf_[128] = {};  // -1 for a character that starts a longer rule
    std::u16string_view text_;
    std::u16string* out_ = nullptr;
    std::size_t position_ = 1;
    bool verbatim_ = false;
};

}  // namespace litvorot
