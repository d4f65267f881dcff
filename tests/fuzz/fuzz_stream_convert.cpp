// Fuzzes the converter's direct path against the whole-text path: for every source (Translit
// through the reader that takes a block at a time), every destination, bytes or UTF-8 on either
// side and both code pages, the input fed in pieces of the sizes the fuzzer picks gives exactly
// the output bytes, or the refusal message, that converting the input whole gives, with the
// block loops of the best vector instructions the processor has and with none.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/modCodePage.h"
#include "converter/modConvertInput.h"
#include "converter/modOutput.h"
#include "converter/modStreamConvert.h"
#include "fuzz_support.h"

using namespace litvorot;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::BuildTablesOnce();
    if (size < 3) return 0;
    constexpr TextFormat kSources[] = {kKoi8, kCp1251, kUnicode};
    ConvertOptions options;
    // Bit 6 of the second byte (the piece size takes the six below) picks the Translit reader.
    options.from = (data[1] & 0x40) != 0 ? kTranslit : kSources[data[0] % 3];
    options.to = static_cast<TextFormat>((data[0] >> 2) % 4 + 1);
    options.bytesIn = (data[0] & 0x10) != 0;
    options.bytesOut = (data[0] & 0x20) != 0;
    SetAnsiCodePage((data[0] & 0x40) != 0 ? 1251 : 1252);
    StreamConverter::LimitSimd((data[0] & 0x80) != 0 ? StreamConverter::Simd::kNone
                                                     : StreamConverter::Simd::kAvx512);
    const std::size_t piece = 1 + data[1] % 64;  // the piece sizes: piece, then piece + step
    const std::size_t step = data[2] % 8;
    const std::string_view input(reinterpret_cast<const char*>(data + 3), size - 3);

    std::u16string text;
    ByteBuffer whole;
    std::string wholeMessage;
    const auto expected = ConvertInput(options, input, text, whole, wholeMessage);

    StreamConverter stream(options);
    HeldOutput out(-1);
    std::string pending;
    std::size_t at = 0;
    for (std::size_t turn = 0;; ++turn) {
        const std::size_t got = std::min(piece + (turn % 2) * step, input.size() - at);
        pending.append(input.substr(at, got));
        at += got;
        const bool last = got == 0;
        if (!stream.Settled()) {
            const std::size_t took = stream.Feed(pending, last, out);
            Check(took <= pending.size() && (last ? took == pending.size() : true));
            pending.erase(0, took);
        }
        if (last) break;
    }
    std::string message;
    if (stream.Finish(message)) {
        Check(expected.has_value() && out.InMemory() == *expected);
    } else {
        Check(!expected.has_value() && message == wholeMessage);
    }
    return 0;
}
