#include "convert/modCodePage.h"

#include <array>
#include <cstdlib>
#include <string>

#include "convert/modCodePageTables.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace litvorot {

namespace {

int& CurrentCodePage() {
    static int codePage = SystemAnsiCodePage();
    return codePage;
}

}  // namespace

char16_t ByteToChar(int codePage, unsigned char byte) {
    if (byte < 0x80) return byte;
    if (codePage == 1251) return codepage::kCp1251High[byte - 0x80];
#ifdef _WIN32
    if (codePage != 1252) {
        // Another system code page (1250, 1253, ...): ask Windows itself.
        const char in = static_cast<char>(byte);
        wchar_t out = 0;
        if (MultiByteToWideChar(static_cast<UINT>(codePage), 0, &in, 1, &out, 1) == 1) {
            return static_cast<char16_t>(out);
        }
        return byte;
    }
#endif
    return codepage::kCp1252High[byte - 0x80];
}

int CodePageForLocale(std::string_view name) {
    // language[_territory][.codeset][@modifier]
    const std::string_view language = name.substr(0, name.find_first_of("_.@"));
    const std::size_t at = name.find('@');
    const std::string_view modifier = at == std::string_view::npos ? "" : name.substr(at + 1);
    constexpr std::string_view kCyrillic[] = {"ru", "uk", "be", "bg", "mk", "kk", "ky",
                                              "tt", "mn", "ba", "cv", "os", "tg", "sah"};
    for (std::string_view cyrillic : kCyrillic) {
        if (language == cyrillic) return 1251;
    }
    // Serbian is written in Cyrillic unless the locale says otherwise; Uzbek the other way round.
    if (language == "sr") return modifier == "latin" ? 1252 : 1251;
    if (language == "uz") return modifier == "cyrillic" ? 1251 : 1252;
    return 1252;
}

int SystemAnsiCodePage() {
#ifdef _WIN32
    return static_cast<int>(GetACP());
#else
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return CodePageForLocale(value);
    }
    return 1252;
#endif
}

int AnsiCodePage() { return CurrentCodePage(); }

bool SetAnsiCodePage(int codePage) {
    if (codePage != 1251 && codePage != 1252) return false;
    CurrentCodePage() = codePage;
    return true;
}

}  // namespace litvorot
