#include "shell/modConversion.h"

#include <exception>
#include <string>

#include "convert/modTextRoutines.h"
#include "tables/modMessages.h"

namespace litvorot {

ConversionResult RunConversion(Clipboard& clipboard, TextFormat source, TextFormat dest,
                               bool displayStatus) {
    return ConvertAndWrite(clipboard, clipboard.GetClipboardText(), source, dest, displayStatus);
}

ConversionResult ConvertAndWrite(Clipboard& clipboard, std::u16string text, TextFormat source,
                                 TextFormat dest, bool displayStatus) {
    ConversionResult result;
    try {
        ConvertText(source, dest, text);
    } catch (const std::exception& error) {
        ShowMessage(std::string("The clipboard text could not be converted: ") + error.what());
        return result;
    }
    if (!TextBeforeNul(text).empty()) result.written = clipboard.SetClipboardText(text);
    result.openStatus = displayStatus;
    return result;
}

}  // namespace litvorot
