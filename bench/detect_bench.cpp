// The automatic source: listing and scoring every reading of a text of a million UTF-16 units (one
// sentence repeated): Russian as it is, the same garbled as UTF-8 read as CP 1251, English, and
// English typed on the Russian layout; and, as prose has them, words of which few repeat often
// (some 14,000 words of syllables, Russian and English). ListReadings holds every reading's text,
// ConvertAuto (what `--from auto` does) converts with the first.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>

#include "convert/modCodePage.h"
#include "detect/modCharsets.h"
#include "detect/modDetect.h"

namespace {

using namespace litvorot;

constexpr std::u16string_view kRussian =
    u"Съешь же ещё этих мягких французских булок, да выпей чаю. Широкая электрификация южных "
    u"губерний даст мощный толчок подъёму сельского хозяйства.\r\n";
constexpr std::u16string_view kEnglish =
    u"Pack my box with five dozen liquor jugs. The quick brown fox jumps over the lazy dog.\r\n";

std::u16string Repeat(std::u16string_view prose, std::size_t units) {
    std::u16string text;
    while (text.size() < units) text += prose;
    text.resize(units);
    return text;
}

// Words of one to three syllables drawn at random, with the punctuation and the lines of prose:
// each word is read under every reading the first time it is met.
std::u16string Words(bool russian, std::size_t units) {
    static constexpr std::array<std::u16string_view, 24> kRussianSyllables{
        u"по",  u"ка",   u"ст",  u"ра",  u"ни", u"ве", u"то",  u"лю", u"де", u"мо", u"за",  u"ный",
        u"ать", u"ение", u"про", u"ско", u"жи", u"чу", u"ход", u"вы", u"ме", u"бо", u"сле", u"ить"};
    static constexpr std::array<std::u16string_view, 24> kEnglishSyllables{
        u"the", u"in",  u"con", u"ver",  u"sta", u"tion", u"al",  u"er",
        u"ly",  u"pro", u"de",  u"ment", u"re",  u"ing",  u"com", u"ble",
        u"ter", u"ous", u"an",  u"ex",   u"ty",  u"for",  u"mi",  u"ness"};
    const auto& syllables = russian ? kRussianSyllables : kEnglishSyllables;
    std::u16string text;
    std::uint32_t x = 2026;
    const auto next = [&] { return (x = x * 1664525u + 1013904223u) >> 8; };
    while (text.size() < units) {
        for (std::uint32_t n = next() % 3 + 1; n > 0; --n) text += syllables[next() % 24];
        const std::uint32_t after = next() % 16;
        text += after == 0 ? u".\n" : after == 1 ? u", " : u" ";
    }
    text.resize(units);
    return text;
}

// `text` written as UTF-8 and shown as CP 1251.
std::u16string Utf8AsCp1251(std::u16string_view text) {
    std::string bytes;
    for (const char16_t c : text) {
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else {  // Cyrillic and punctuation of the samples: two bytes
            bytes += static_cast<char>(0xC0 | c >> 6);
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return DecodeCharset(Charset::kWindows1251, bytes);
}

// The 1 MB input of a benchmark: state.range(0) picks the text, and the label says which.
std::u16string Input(benchmark::State& state) {
    constexpr std::size_t kUnits = 1 << 20;
    std::u16string input;
    switch (state.range(0)) {
        case 0:
            input = Repeat(kRussian, kUnits);
            state.SetLabel("Russian as it is");
            break;
        case 1:
            input = Utf8AsCp1251(Repeat(kRussian, kUnits / 2));
            state.SetLabel("UTF-8 read as CP 1251");
            break;
        case 2:
            input = Repeat(kEnglish, kUnits);
            state.SetLabel("English as it is");
            break;
        case 3:
            input = SwapLayout(Repeat(kEnglish, kUnits), true);
            state.SetLabel("English on the Russian layout");
            break;
        case 4:
            input = Words(true, kUnits);
            state.SetLabel("Russian words, few repeated often");
            break;
        default:
            input = Words(false, kUnits);
            state.SetLabel("English words, few repeated often");
            break;
    }
    input.push_back(u'\0');
    return input;
}

void BM_ListReadings(benchmark::State& state) {
    BuildTables();
    const std::u16string input = Input(state);
    for (auto _ : state) {
        auto readings = ListReadings(input);
        benchmark::DoNotOptimize(readings.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

BENCHMARK(BM_ListReadings)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime();

// What `--from auto` does with an input: the readings, and the text converted with the first.
void BM_ConvertAuto(benchmark::State& state) {
    BuildTables();
    const std::u16string input = Input(state);
    for (auto _ : state) {
        std::u16string text = input;
        auto readings = ConvertAuto(kUnicode, text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

BENCHMARK(BM_ConvertAuto)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
