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
// a good text is left as it is). Gives choice `wanted`, or nothing when there are fewer. Only what
// that choice needs is converted: the first press converts the likeliest reading alone (readings
// are listed without their texts), a later press the readings up to its own; only the texts'
// hashes are kept on the way, so a long text is held twice at most.
std::optional<Choice> AutoChoice(const std::u16string& original, TextFormat dest,
                                 std::size_t wanted) {
    std::u16string first = original;
    first.push_back(u'\0');
    const std::vector<Reading> readings = ConvertAuto(dest, first);
    std::unordered_set<std::size_t> seen;
    std::size_t count = 0;
    std::optional<Choice> found;
    auto offer = [&](std::u16string_view body, std::string reading) {
        if (!seen.insert(std::hash<std::u16string_view>{}(body)).second) return false;
        if (count++ != wanted) return false;
        found = Choice{std::u16string(body), std::move(reading)};
        return true;
    };
    for (std::size_t i = 0; i < readings.size(); ++i) {
        std::u16string converted;
        if (i == 0) {
            converted = std::move(first);
        } else {
            converted = original;
            converted.push_back(u'\0');
            ConvertWithReading(readings[i], dest, converted);
        }
        const std::u16string_view body = TextBeforeNul(converted);
        if (body.empty() || (body == original && count > 0)) continue;
        if (offer(body, ReadingName(readings[i]))) return found;
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
                std::optional<Choice> choice =
                    AutoChoice(step.cycle.original, step.cycle.dest, step.cycle.next);
                if (!choice) {  // past the last text (the original): the first one again
                    step.cycle.next = 0;
                    choice = AutoChoice(step.cycle.original, step.cycle.dest, 0);
                }
                step.text = std::move(choice->text);
                step.reading = std::move(choice->reading);
                step.before = step.cycle.original;
                ++step.cycle.next;
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
