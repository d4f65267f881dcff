#include "convert/modCodePage.h"

#include <array>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace litvorot {

namespace {

// 0x80..0xBF of Windows-1251 (0xC0..0xFF are U+0410..U+044F). 0x98 is undefined and maps to the
// control character U+0098, as Windows does.
constexpr std::array<char16_t, 64> kCp1251High{
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// 0x80..0x9F of Windows-1252 (everything else is Latin-1). 81, 8D, 8F, 90 and 9D are undefined and
// map to the control characters of the same number.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

int& CurrentCodePage() {
    static int codePage = SystemAnsiCodePage();
    return codePage;
}

}  // namespace

char16_t ByteToChar(int codePage, unsigned char byte) {
    if (byte < 0x80) return byte;
    if (codePage == 1251) {
        if (byte >= 0xC0) return static_cast<char16_t>(0x0410 + (byte - 0xC0));
        return kCp1251High[byte - 0x80];
    }
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
    if (byte < 0xA0) return kCp1252High[byte - 0x80];
    return byte;
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
