#include "shell/modConversion.h"

#include <algorithm>
#include <exception>
#include <string>

#include "convert/modTextRoutines.h"
#include "detect/modDetect.h"
#include "tables/modMessages.h"

namespace litvorot {

namespace {

void ShowConversionFailure(const std::exception& error) {
    ShowMessage(std::string("The clipboard text could not be converted: ") + error.what());
}

// The texts a new cycle may write: each reading of `text` in `dest`, without repeats, the
// original last. When the likeliest reading is the text itself, the original stays first, so that a
// good text is left as it is.
std::vector<AutoCycle::Choice> AutoChoices(const std::u16string& text, TextFormat dest) {
    std::vector<AutoCycle::Choice> choices;
    const std::u16string_view original = TextBeforeNul(text);
    for (const Reading& reading : ListReadings(text)) {
        std::u16string converted = text;
        ConvertWithReading(reading, dest, converted);
        const std::u16string_view body = TextBeforeNul(converted);
        if (body.empty() || (body == original && !choices.empty())) continue;
        const bool repeated = std::any_of(choices.begin(), choices.end(),
                                          [&](const auto& choice) { return choice.text == body; });
        if (!repeated) {
            choices.push_back({std::u16string(body), std::string(ReadingName(reading.kind))});
        }
    }
    if (choices.empty() || choices.front().text != original) {
        choices.push_back({std::u16string(original), "the original text"});
    }
    return choices;
}

}  // namespace

ConversionResult RunConversion(Clipboard& clipboard, TextFormat source, TextFormat dest,
                               bool displayStatus) {
    return ConvertAndWrite(clipboard, clipboard.GetClipboardText(), source, dest, displayStatus);
}

ConversionResult ConvertAndWrite(Clipboard& clipboard, std::u16string text, TextFormat source,
                                 TextFormat dest, bool displayStatus) {
    ConversionResult result;
    const std::u16string before(TextBeforeNul(text));
    try {
        ConvertText(source, dest, text);
    } catch (const std::exception& error) {
        ShowConversionFailure(error);
        return result;
    }
    if (!TextBeforeNul(text).empty()) result.written = clipboard.SetClipboardText(text);
    if (result.written) {
        result.before = before;
        result.after = std::u16string(TextBeforeNul(text));
    }
    result.openStatus = displayStatus;
    return result;
}

ConversionResult AutoConvertAndWrite(Clipboard& clipboard, const std::u16string& text,
                                     TextFormat dest, bool displayStatus, AutoCycle& cycle,
                                     std::chrono::steady_clock::time_point now) {
    ConversionResult result;
    const std::u16string_view body = TextBeforeNul(text);
    const bool continues = !cycle.written.empty() && body == cycle.written && now >= cycle.when &&
                           now - cycle.when < kAutoCycleTime;
    if (!continues) {
        cycle.Reset();
        if (body.empty()) {
            result.openStatus = displayStatus;
            return result;
        }
        try {
            cycle.choices = AutoChoices(text, dest);
        } catch (const std::exception& error) {
            cycle.Reset();
            ShowConversionFailure(error);
            return result;
        }
        cycle.original = std::u16string(body);
    }
    const AutoCycle::Choice& choice = cycle.choices[cycle.next];
    result.written = clipboard.SetClipboardText(choice.text);
    if (!result.written) {
        cycle.Reset();
        result.openStatus = displayStatus;
        return result;
    }
    result.before = cycle.original;
    result.after = choice.text;
    result.reading = choice.reading;
    cycle.written = choice.text;
    cycle.when = now;
    cycle.next = (cycle.next + 1) % cycle.choices.size();
    result.openStatus = displayStatus;
    return result;
}

}  // namespace litvorot
