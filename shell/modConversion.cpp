#include "shell/modConversion.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>

#include "convert/modTextRoutines.h"
#include "detect/modDetect.h"
#include "tables/modMessages.h"

namespace litvorot {

namespace {

std::string ConversionFailure(const std::exception& error) {
    return std::string("The clipboard text could not be converted: ") + error.what();
}

struct Choice {
    std::u16string text;
    std::string reading;
};

// The texts a cycle on `original` goes through, in order: each reading in `dest`, without
// repeats, and the original last (or first, when the likeliest reading is the text itself, so that
// a good text is left as it is). Gives choice `wanted` (when there are that many) and counts them
// all; only the texts' hashes are kept on the way, so a long text is held twice at most.
std::optional<Choice> AutoChoice(const std::u16string& original, TextFormat dest,
                                 std::size_t wanted, std::size_t& count) {
    std::u16string text = original;
    text.push_back(u'\0');
    std::unordered_set<std::size_t> seen;
    std::optional<Choice> found;
    count = 0;
    auto offer = [&](std::u16string_view body, std::string_view reading) {
        if (!seen.insert(std::hash<std::u16string_view>{}(body)).second) return;
        if (count == wanted) found = Choice{std::u16string(body), std::string(reading)};
        ++count;
    };
    for (const Reading& reading : ListReadings(text)) {
        std::u16string converted = text;
        ConvertWithReading(reading, dest, converted);
        const std::u16string_view body = TextBeforeNul(converted);
        if (body.empty() || (body == original && count > 0)) continue;
        offer(body, ReadingName(reading.kind));
    }
    offer(original, "the original text");
    return found;
}

}  // namespace

ConversionStep ConvertClipboardText(const std::u16string& text, TextFormat source, TextFormat dest,
                                    const AutoCycle& cycle,
                                    std::chrono::steady_clock::time_point now) {
    ConversionStep step;
    MessageCapture capture;
    const std::u16string_view body = TextBeforeNul(text);
    try {
        if (source != kAuto) {
            if (!body.empty()) {
                std::u16string converted = text;
                ConvertText(source, dest, converted);
                step.text = std::u16string(TextBeforeNul(converted));
                step.before = std::u16string(body);
            }
        } else {
            const bool continues = cycle.Active() && body == cycle.written && now >= cycle.when &&
                                   now - cycle.when < kAutoCycleTime;
            if (continues) {
                step.cycle = cycle;
            } else if (!body.empty()) {
                step.cycle.original = std::u16string(body);
                step.cycle.dest = dest;
            }
            if (!step.cycle.original.empty()) {
                std::size_t count = 0;
                std::optional<Choice> choice =
                    AutoChoice(step.cycle.original, step.cycle.dest, step.cycle.next, count);
                if (!choice) {  // fewer texts than before: start over
                    step.cycle.next = 0;
                    choice = AutoChoice(step.cycle.original, step.cycle.dest, 0, count);
                }
                step.text = std::move(choice->text);
                step.reading = std::move(choice->reading);
                step.before = step.cycle.original;
                step.cycle.count = count;
                step.cycle.next = (step.cycle.next + 1) % count;
                step.cycle.written = step.text;
                step.cycle.when = now;
            }
        }
    } catch (const std::exception& error) {
        step = ConversionStep();
        step.outcome = ConversionStep::Outcome::kFailed;
        step.messages = capture.Take();
        step.messages.push_back(ConversionFailure(error));
        return step;
    }
    step.messages = capture.Take();
    step.outcome =
        step.text.empty() ? ConversionStep::Outcome::kNothing : ConversionStep::Outcome::kWrite;
    if (step.text.empty()) step.cycle.Reset();
    return step;
}

}  // namespace litvorot
