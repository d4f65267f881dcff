// The tray program's conversion step (what a press does between reading and writing the
// clipboard) on texts up to the largest it converts, 16 Mi UTF-16 units: Translit to Unicode, and
// the automatic source on Russian that is fine and on UTF-8 shown as CP 1251. Where the clipboard
// size limit comes from.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "clipboard/Clipboard.h"
#include "detect/modCharsets.h"
#include "shell/modConversion.h"

namespace {

using namespace litvorot;

constexpr std::u16string_view kTranslitProse = u"Shchuka i yozh: privet, mir! Zdravstvuyte, tovarishchi. ";
constexpr std::u16string_view kRussian =
    u"Съешь же ещё этих мягких французских булок, да выпей чаю. Широкая электрификация южных "
    u"губерний даст мощный толчок подъёму сельского хозяйства.\r\n";

// `units` of `prose`, repeated, as a clipboard text (with its NUL).
std::u16string ClipboardText(std::u16string_view prose, std::size_t units) {
    std::u16string text;
    while (text.size() < units) text += prose;
    text.resize(units);
    text.push_back(u'\0');
    return text;
}

void BM_ConversionStep(benchmark::State& state) {
    BuildTables();
    const auto units = static_cast<std::size_t>(state.range(1)) << 20;
    std::u16string text;
    TextFormat source = kAuto;
    switch (state.range(0)) {
        case 0:
            text = ClipboardText(kTranslitProse, units);
            source = litvorot::kTranslit;
            state.SetLabel("Translit to Unicode");
            break;
        case 1:
            text = ClipboardText(kRussian, units);
            state.SetLabel("Auto, Russian as it is");
            break;
        default: {
            // The same Russian, its UTF-8 bytes shown as CP 1251 (two bytes a letter).
            std::string bytes;
            for (const char16_t c : ClipboardText(kRussian, units / 2)) {
                if (c == 0) break;
                if (c < 0x80) {
                    bytes += static_cast<char>(c);
                } else {
                    bytes += static_cast<char>(0xC0 | c >> 6);
                    bytes += static_cast<char>(0x80 | (c & 0x3F));
                }
            }
            text = DecodeCharset(Charset::kWindows1251, bytes);
            text.push_back(u'\0');
            state.SetLabel("Auto, UTF-8 read as CP 1251");
        }
    }
    for (auto _ : state) {
        ConversionStep step = ConvertClipboardText(text, source, kUnicode, AutoCycle(),
                                                   std::chrono::steady_clock::now());
        benchmark::DoNotOptimize(step);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_ConversionStep)
    ->ArgsProduct({{0, 1, 2}, {1, 4, 16}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
