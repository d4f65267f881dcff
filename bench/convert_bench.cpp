// ConvertText throughput in each of the 12 directions, on Russian prose in each source format;
// and the converter's direct path on pieces as it reads them, at each level of vector
// instructions.
#include <benchmark/benchmark.h>

#include <string>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"
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

}  // namespace

BENCHMARK_MAIN();
