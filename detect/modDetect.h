// The automatic source: the ways a garbled Russian (or English) text may have come about, each
// one read back and scored with a letter model of Russian and English, the likeliest first.
//
//     auto readings = ListReadings(text);            // readings[0] is the one to use
//     ConvertWithReading(readings[k], dest, text);   // the text as reading k, in format `dest`
//
// The letter tables must be built (BuildTables) before either is called.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tables/modTables.h"

namespace litvorot {

enum class ReadingKind {
    kAsIs,           // the text is fine as it is (Unicode)
    kTranslitText,   // Translit, read as the Translit source reads it
    kKoi8Bytes,      // KOI8-R bytes held one character a byte (or shown as CP 1252)
    kCp1251Bytes,    // CP 1251 bytes held one character a byte (or shown as CP 1252)
    kUtf8AsCp1251,   // UTF-8 bytes shown as CP 1251: «РџСЂРёРІРµС‚»
    kUtf8AsKoi8R,    // UTF-8 bytes shown as KOI8-R: «п÷п╣я─п╦п╡п╣я┌»
    kUtf8AsCp1252,   // UTF-8 bytes shown as CP 1252 or ISO 8859-1: «ÐŸÑ€Ð¸Ð²ÐµÑ‚»
    kCp1251AsKoi8R,  // CP 1251 bytes shown as KOI8-R: «оПХБЕР»
    kKoi8RAsCp1251,  // KOI8-R bytes shown as CP 1251: «рТЙЧЕФ»
    kRussianOnEnglishKeys,  // Russian typed with the US English layout: «ghbdtn»
    kEnglishOnRussianKeys,  // English typed with the Russian (ЙЦУКЕН) layout: «руддщ»
    kUtf8AsCp866,  // UTF-8 bytes shown in code page 866 (a console): «╨Я╤А╨╕╨▓╨╡╤В»
    kCp866AsCp1251,        // DOS text (866) shown as CP 1251: «ЏаЁўҐв»
    kCp1251AsCp866,        // CP 1251 text shown in code page 866: «╧ЁштхЄ»
    kCp866AsCp437,         // 866 shown as code page 437 (ZIP file names): «Åα¿óÑΓ»
    kUtf8AsCp1251Twice,    // UTF-8 read as CP 1251, saved as UTF-8, read as CP 1251 again
    kUtf8AsCp1252Twice,    // the same through CP 1252: «ÃÂÃ…Â¸...»
    kUtf8AsKoi8RTwice,     // the same through KOI8-R
    kMacCyrillicAsCp1251,  // MacCyrillic bytes shown as CP 1251: «Џривет»
    kIso88595AsCp1251,     // ISO 8859-5 bytes shown as CP 1251: «їàØÒÕâ»
    kKoi8UAsCp1251,        // KOI8-U bytes (Ukrainian letters) shown as CP 1251
    kKoi8UBytes,           // KOI8-U bytes held one character a byte (or shown as CP 1252)
    kLatinLookAlikes,      // Latin letters that look Cyrillic inside Russian words: «Привeт»
    kCyrillicLookAlikes,   // Cyrillic letters that look Latin inside English words: «Hellо»
    kPieces,               // parts of the text read differently, each by its own reading
};
inline constexpr int kReadingKinds = 25;

// "as it is", "Translit", "UTF-8 read as CP 1251", ..., "in pieces"
std::string_view ReadingName(ReadingKind kind);

// A part of a text that a reading in pieces reads its own way: UTF-16 units [begin, end) of the
// text, which lie on lines firstLine..lastLine (counted from 1).
struct Piece {
    std::size_t begin = 0, end = 0;
    std::size_t firstLine = 1, lastLine = 1;
    ReadingKind kind = ReadingKind::kAsIs;
    double score = 0;  // the piece's own score, as a reading's
};

struct Reading {
    ReadingKind kind = ReadingKind::kAsIs;
    // log2 of the text's probability under the letter model (always <= 0): the higher, the
    // likelier. Readings of one text compare directly.
    double score = 0;
    // How the reading converts: the text from `source` (ConvertText). With `original` set that
    // is the caller's own text; otherwise `text` holds the repaired Unicode text (ConvertAuto
    // leaves it empty: ConvertWithReading then reads the text again).
    TextFormat source = kUnicode;
    bool original = true;
    std::u16string text;
    // For kPieces: the pieces in order, each with its reading; between them the text is as it is
    // (white space).
    std::vector<Piece> pieces;
};

// The name the status dialog shows: ReadingName(kind), and for a reading in pieces the readings
// of its pieces in order ("in pieces: as it is, UTF-8 read as CP 1251").
std::string ReadingName(const Reading& reading);

// The readings of a clipboard text (up to its first NUL, which ends it), the one to use first and
// then the others by score. The text as it is comes first unless another reading beats it by the
// margin: Margin(kind, cost, latinOnly) bits, where cost is the text's own cost in bits and
// latinOnly tells a text without Cyrillic letters, and adds no characters that are no part of
// Russian or English text (box drawing, accented letters, symbols within words). Where parts of
// the text (runs of words, lines) read better each its own way, the reading in pieces comes first,
// and the readings of the whole text follow. Readings that cannot apply (a character outside the
// code page a text was misread in, bytes that are no UTF-8) and readings that give the same text
// as one before them are left out; the text as it is is always there.
std::vector<Reading> ListReadings(std::u16string_view text);

// How many bits a reading must gain over the text as it is to be used instead: a fixed part and a
// share of the text's own cost. The byte mix-ups need the most; a wrong keyboard layout turns a
// good word into a rare one less often, so the layouts need less. Translit, which letter models
// tell from English least well (and which users type on purpose), needs the least: 4.8 bits less
// 6 % of the text's cost, so a single word must gain 2 to 4 bits while a text of several words may
// even score a little below its letters read as English. The Russian model, made from a list of
// words rather than from texts, charges the loan words and the short words of technical Russian
// more than the English model charges English ones; English texts of several words nearly all
// score at least 8 % better as they are than as Translit. That holds where Translit reads the
// whole text: a text with Cyrillic letters of its own (`latinOnly` false), whose Translit reading
// changes only its Latin words, needs 4 bits plus 3 % (a lone Latin word of a Russian text, a
// name or a term, seldom gains more than a few bits as Translit, «udev.» 4.9; one written in
// Translit mostly 6 and more). Calibrated with tests/eval/evaluate.py on two samples (seeds 14 and
// 7) and checked on others (seeds 21, 28).
inline constexpr double kMarginBits = 12.0;
inline constexpr double kMarginShare = 0.10;
inline constexpr double kLayoutMarginBits = 6.0;
inline constexpr double kTranslitMarginBits = 4.8;
inline constexpr double kTranslitMarginShare = -0.06;
inline constexpr double kMixedTranslitMarginBits = 4.0;
inline constexpr double kMixedTranslitMarginShare = 0.03;
// Look-alike letters in a word of the other script are rarely meant: a mixed word costs the model
// much, and its repair needs the least. MacCyrillic shown as CP 1251 changes only the capitals and
// я («Џривет», «имЯ»), and turns a good text's capitals into symbols and foreign letters, which
// no reading may add: it needs little too, and where it gives letters for what were none
// («—тобы» to «Чтобы», the capital that begins a sentence), only its share (a good text loses
// letters to it, and the share keeps it from a text whose only change is «Я» to «я»). The share
// of these is of the cost of the words they change, not of the whole text.
inline constexpr double kLookAlikeMarginBits = 4.0;
inline constexpr double kFewLettersMarginBits = 3.0;
inline constexpr double kLookAlikeMarginShare = 0.03;
// What a capital «С» standing alone amid a sentence tells of MacCyrillic, whose dash it is.
inline constexpr double kDashBits = 6.0;
double Margin(ReadingKind kind, double asIsCost, bool latinOnly = true);

// Reading the text in pieces: what a piece that follows another pays to be read otherwise (a
// reading's first piece pays its margin's fixed part, Margin(kind, 0); Translit, which reads
// English-looking words and names too, pays more), and what a piece pays to be the text as it is
// again. Each piece pays the margin's share of the text's own cost in the words it changes and 12
// bits for each character of junk it adds, and gains 6 bits for each it takes away (so a reading of
// the whole text that takes junk away needs less margin). A piece that begins the text pays its
// margin and the way back, one that ends it the switch: the switch is the way back and the margin
// of a byte mix-up together, so that a garbled word costs as much before a good one as after it.
// The layouts pay it too, more than their margin and the way back: their words are no English
// words («cgbcrt» for «списке») more often than Translit's, but below 20 bits texts of English
// typed on the Russian layout split at their names. (At Translit's 28, a garbled word after a good
// one stayed where one before it was repaired.)
inline constexpr double kPieceSwitchBits = 20.0;
inline constexpr double kPieceTranslitSwitchBits = 28.0;
inline constexpr double kPieceBackBits = 8.0;
// What a piece pays for each character of junk it adds; the keyboard layouts must gain as much for
// each they add to a whole text (a «[» the original had).
inline constexpr double kPieceJunkBits = 12.0;

// Rewrites the clipboard text `text` (normally terminated, as ConvertText expects) as `reading`
// reads it, into `dest`. A reading of the text itself converts exactly as its source format does.
void ConvertWithReading(const Reading& reading, TextFormat dest, std::u16string& text);

// Converts `text` from the automatic source: the first of its readings. Gives the readings, as
// ListReadings does, but holding no text (ConvertWithReading reads the text again).
std::vector<Reading> ConvertAuto(TextFormat dest, std::u16string& text);

// The cost of `text` in bits under the letter model (the negative of a reading's score), the
// names and words that only the web's word list has counting for nothing, as for Translit.
double TextCost(std::u16string_view text);

// The text typed on the other keyboard layout: `russian` true reads keys of the US English
// layout as the Russian layout's (ghbdtn -> привет), false the other way round.
std::u16string SwapLayout(std::u16string_view text, bool russian);

}  // namespace litvorot
