// The Translit reader: Latin transliteration back into Russian letters.
#pragma once

#include <string>
#include <string_view>

#include "tables/modTables.h"

namespace litvorot {

// Reads the trimmed Translit `text` and writes the converted characters to the end of `buffer`
// (the work buffer of ConvertText; what was never written there counts as spaces). The last
// character of a text longer than one is never the start of a rule, so the clipboard terminator
// is not read. Writes at most one character for each character consumed.
void ReadTranslit(std::u16string_view text, TextFormat dest, std::u16string& buffer);

}  // namespace litvorot
