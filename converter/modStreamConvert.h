// The converter's direct path: the input is read in pieces, so that memory stays bounded for any
// input. KOI8, CP 1251 and Unicode source text converts character by character, straight from
// UTF-8 (or bytes) into the output bytes through one table, without a UTF-16 text in between;
// Translit source goes through the Translit reader a block at a time. It gives exactly what
// ConvertInput gives for the whole input: the same bytes, or the same refusal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "convert/modTranslit.h"
#include "converter/modConvertInput.h"
#include "converter/modOutput.h"

namespace litvorot {

class StreamConverter {
  public:
    // Whether `options` can take this path: a valid source and a valid destination.
    static bool Handles(const ConvertOptions& options);

    // Builds the table from the letter tables and the ANSI code page in use.
    explicit StreamConverter(const ConvertOptions& options);

    // Converts the next piece of the input and appends its output to `out`. Unless `last`, a
    // character that may be cut at the piece's end is left: the return value is how many bytes
    // were taken, and the rest must come again at the front of the next piece.
    std::size_t Feed(std::string_view piece, bool last, HeldOutput& out);

    // Whether nothing the input still holds can change the result (its clipboard text has ended
    // or been refused, and no UTF-8 has to be checked further on).
    bool Settled() const { return state_ == State::kDone; }
    // Whether no later piece can refuse the input, so that what is held may be written.
    bool CannotFail() const { return cannotFail_; }
    // Whether the clipboard text goes on, so that the next piece may still add output.
    bool Converting() const { return state_ == State::kConverting; }
    // The most output a piece of `size` bytes can add.
    std::size_t MostOutput(std::size_t size) const {
        return size * growth_ + 8 + (reader_ ? 16 + spacesHeld_ + spacesAtEnd_ : 0);
    }
    // The output bytes so far.
    std::size_t Written() const { return written_; }
    // When nothing but malformed UTF-8 can refuse the input: goes on checking the UTF-8 only,
    // writing nothing more, and gives true.
    bool CheckOnly();

    // After the last piece: false, with `message` set as ConvertInput sets it, when the input is
    // refused.
    bool Finish(std::string& message) const;

    // Starts on a new input.
    void Reset();

    // The vector instructions the block loops may use: the best the processor has, or less.
    enum class Simd { kNone, kAvx2, kAvx512 };
    static Simd BestSimd();
    // Caps what converters built from now on use (the tests run every level the processor has).
    static void LimitSimd(Simd most);

  private:
    // What one input character below kTableSize (every character of one or two UTF-8 bytes)
    // becomes: up to four output bytes, or a character that is no byte (bytes out only), named by
    // its UTF-16 unit, behind `length` bytes.
    struct Form {
        char bytes[4] = {};
        std::uint8_t length = 0;
        bool wide = false;
        char16_t unit = 0;
    };
    static constexpr std::size_t kTableSize = 0x800;

    enum class State { kConverting, kChecking, kDone };

    // Converts from `in` until its end, a NUL, a character that is no byte or malformed UTF-8;
    // returns where it stopped.
    std::size_t ConvertUtf8(const unsigned char* in, std::size_t size, char* out,
                            std::size_t& written);
    std::size_t ConvertBytes(const unsigned char* in, std::size_t size, char* out,
                             std::size_t& written);
    void NoByte(char16_t unit, std::size_t before);
    std::size_t FeedTranslit(const unsigned char* in, std::size_t size, bool last, HeldOutput& out);
    bool WriteRead(bool end, HeldOutput& out);
    void WriteSpaces(std::size_t count, HeldOutput& out);

    bool bytesIn_;
    bool bytesOut_;
    bool cannotFail_ = false;
    bool onlyMalformed_ = false;  // UTF-8 in, and no character becomes no byte
    std::size_t growth_ = 1;      // output bytes one input byte can take, at most
    bool asciiKept_ = true;       // every ASCII character but NUL comes out as itself
    bool oneByte_ = true;         // bytes in: every byte but NUL comes out as one byte (or no byte)
    // Blocks of ASCII and Cyrillic (U+0400..U+047F) that all come out as one byte each go 64
    // bytes at a time with AVX-512 or AVX2, where the processor has them.
    bool cyrillicBlocks_ = false;
    Simd simd_ = Simd::kNone;
    bool byteBlocks_ = false;           // bytes in, oneByte_, and no byte but NUL becomes NUL
    unsigned char cyrillic_[128] = {};  // the byte of U+0400 + n, 0 when it is no single byte
    // The tables of 16 the AVX2 byte loop looks up 128 entries through: entry n of table k is
    // the byte of entry 16k + n XOR that of entry 16(k - 1) + n (see LookUp128).
    alignas(16) unsigned char lowSteps_[128] = {};   // bytes 0..127, 0 for one that is no byte
    alignas(16) unsigned char highSteps_[128] = {};  // bytes 128..255 likewise
    Form forms_[kTableSize];
    unsigned char byteOf_[256] = {};  // bytes in, oneByte_: the byte each byte becomes
    unsigned char wideOf_[256] = {};  // bytes in, oneByte_: 1 for a byte that becomes no byte

    State state_ = State::kConverting;
    std::size_t offset_ = 0;   // input bytes taken so far
    std::size_t written_ = 0;  // output bytes so far
    std::size_t invalid_ = 0;  // offset of the first malformed UTF-8, once found
    bool hasInvalid_ = false;
    bool hasWide_ = false;
    char16_t wideUnit_ = 0;
    std::size_t widePosition_ = 0;

    // Translit source. A clipboard text keeps the spaces at both its ends and loses those the
    // reader writes at either end of what it writes, so the spaces the reader writes last are
    // held until something other than a space follows, or the text ends.
    std::optional<TranslitReader> reader_;
    std::u16string units_;  // the characters the reader left at the end of a piece, then more
    std::u16string read_;   // what the reader wrote and is not yet written
    bool started_ = false;  // past the spaces the text starts with
    bool writing_ = false;  // the reader has written something other than a space
    std::size_t spacesHeld_ = 0;
    std::size_t spacesAtEnd_ = 0;  // spaces the input read so far ends with
};

}  // namespace litvorot
