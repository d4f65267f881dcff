// ConvertText throughput in each of the 12 directions, on Russian prose in each source format;
// the converter's direct path on pieces as it reads them, at each level of vector instructions;
// and the converter's UTF-8 decoding where characters of three and four bytes are common.
#include <benchmark/benchmark.h>

#include <string>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"
#include "converter/modConvertInput.h"
#include "converter/modOutput.h"
#include "converter/modStreamConvert.h"

namespace {

using namespace litvorot;

// About `units` UTF-16 units of Russian text with punctuation and line breaks, in `format`,
// terminated like a clipboard text.
std::u16string SampleText(TextFormat format, std::size_t units) {
    const std::u16string prose =
        u"Съешь же ещё этих мягких французских булок, да выпей чаю. "
        u"Широкая электрификация южных губерний даст мощный толчок подъёму сельского "
        u"хозяйства.\r\n";
    std::u16string text;
    while (text.size() < units) text += prose;
    text.resize(units);
    text.push_back(u'\0');
    if (format != kUnicode) ConvertText(kUnicode, format, text);
    return text;
}

void BM_ConvertText(benchmark::State& state) {
    const auto from = static_cast<TextFormat>(state.range(0));
    const auto to = static_cast<TextFormat>(state.range(1));
    const auto units = static_cast<std::size_t>(state.range(2));
    SetAnsiCodePage(1252);  // 8-bit text then reads back as the same letters
    BuildTables();
    const std::u16string input = SampleText(from, units);
    for (auto _ : state) {
        std::u16string text = input;
        ConvertText(from, to, text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size() * 2));
    state.SetLabel(std::to_string(from) + "->" + std::to_string(to));
}

void Directions(benchmark::internal::Benchmark* bench) {
    for (std::int64_t size : {1 << 20, 10 << 20}) {
        for (int from = 1; from <= 4; ++from) {
            for (int to = 1; to <= 4; ++to) {
                if (from != to) bench->Args({from, to, size});
            }
        }
    }
}

BENCHMARK(BM_ConvertText)->Apply(Directions)->Unit(benchmark::kMillisecond)->UseRealTime();

// One piece of the size the converter reads (256 KB) of Russian prose, UTF-8 into KOI8 bytes
// (range 0 = 0) or KOI8 bytes into CP 1251 bytes (1), the output dropped after each piece.
void BM_StreamConvert(benchmark::State& state) {
    SetAnsiCodePage(1252);
    BuildTables();
    const bool bytesIn = state.range(0) == 1;
    const auto level = static_cast<StreamConverter::Simd>(state.range(1));
    if (level > StreamConverter::BestSimd()) {
        state.SkipWithError("the processor lacks these vector instructions");
        return;
    }
    StreamConverter::LimitSimd(level);
    const ConvertOptions options{bytesIn ? kKoi8 : kUnicode, bytesIn ? kCp1251 : kKoi8, bytesIn,
                                 true};
    std::u16string text = SampleText(kUnicode, 256 << 10);
    text.pop_back();
    if (bytesIn) ConvertText(kUnicode, kKoi8, text);
    std::string piece;
    for (const char16_t c : text) {
        if (bytesIn || c < 0x80) {
            piece += static_cast<char>(c);
        } else {
            piece += static_cast<char>(0xC0 | (c >> 6));
            piece += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    piece.resize(256 << 10);
    StreamConverter stream(options);
    HeldOutput out(-1);
    for (auto _ : state) {
        stream.Reset();
        out.Discard();
        benchmark::DoNotOptimize(stream.Feed(piece, true, out));
    }
    StreamConverter::LimitSimd(StreamConverter::Simd::kAvx512);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * piece.size()));
    state.SetLabel(std::string(bytesIn ? "koi8->cp1251" : "utf-8->koi8") + ", vectors " +
                   std::to_string(state.range(1)));
}

BENCHMARK(BM_StreamConvert)->ArgsProduct({{0, 1}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);

// Russian prose as typeset text is written: dashes, ellipses and the number sign take three
// bytes of UTF-8, and a pictograph four. 256 KB of it, cut after a whole line.
std::string TypesetText() {
    const std::string line =
        "\xe2\x84\x96 7. \xd0\xa1\xd1\x8a\xd0\xb5\xd1\x88\xd1\x8c \xe2\x80\x94 "
        "\xc2\xab\xd0\xb6\xd0\xb5 \xd0\xb5\xd1\x89\xd1\x91\xc2\xbb\xe2\x80\xa6 "
        "\xd0\xb1\xd1\x83\xd0\xbb\xd0\xbe\xd0\xba \xf0\x9f\x98\x80, "
        "\xd0\xb4\xd0\xb0 \xd0\xb2\xd1\x8b\xd0\xbf\xd0\xb5\xd0\xb9 "
        "\xd1\x87\xd0\xb0\xd1\x8e \xe2\x80\x93 1\xe2\x80\xaf"
        "000 \xe2\x82\xbd.\r\n";
    std::string text;
    while (text.size() + line.size() <= (256u << 10)) text += line;
    return text;
}

// The direct path on typeset text, UTF-8 into UTF-8 Translit (every character of three or four
// bytes goes through the decoding of one character), and the whole-text path, UTF-8 decoded,
// converted and encoded again, Unicode into KOI8 letters (range 0 = 0) or Translit (1).
void BM_StreamConvertTypeset(benchmark::State& state) {
    SetAnsiCodePage(1252);
    BuildTables();
    const std::string piece = TypesetText();
    StreamConverter stream({kUnicode, kTranslit, false, false});
    HeldOutput out(-1);
    for (auto _ : state) {
        stream.Reset();
        out.Discard();
        benchmark::DoNotOptimize(stream.Feed(piece, true, out));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * piece.size()));
}

BENCHMARK(BM_StreamConvertTypeset)->Unit(benchmark::kMicrosecond);

void BM_ConvertInputTypeset(benchmark::State& state) {
    SetAnsiCodePage(1252);
    BuildTables();
    const std::string input = TypesetText();
    const ConvertOptions options{kUnicode, state.range(0) == 0 ? kKoi8 : kTranslit, false, false};
    std::u16string text;
    ByteBuffer out;
    std::string message;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ConvertInput(options, input, text, out, message));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

BENCHMARK(BM_ConvertInputTypeset)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
