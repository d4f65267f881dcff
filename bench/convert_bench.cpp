// ConvertText throughput in each of the 12 directions, on Russian prose in each source format.
#include <benchmark/benchmark.h>

#include <string>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"

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

}  // namespace

BENCHMARK_MAIN();
