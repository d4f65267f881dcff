// The converter's input path against the plain recipe: decode the whole input, terminate it,
// convert it, cut it at its first NUL, encode it. Inputs are large enough to cross the blocks the
// converter works in, with characters of every UTF-8 length sitting across block edges.
#include <gtest/gtest.h>
#include <unicode/ustring.h>

#include <random>
#include <string>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"
#include "converter/modConvertInput.h"

namespace litvorot {
namespace {

std::string Reference(const ConvertOptions& options, const std::string& data) {
    std::u16string text;
    if (options.bytesIn) {
        for (unsigned char c : data) text += static_cast<char16_t>(c);
    } else {
        text.resize(data.size());
        UErrorCode error = U_ZERO_ERROR;
        int32_t length = 0;
        u_strFromUTF8(text.data(), static_cast<int32_t>(text.size()), &length, data.data(),
                      static_cast<int32_t>(data.size()), &error);
        EXPECT_TRUE(U_SUCCESS(error));
        text.resize(static_cast<std::size_t>(length));
    }
    text += u'\0';
    ConvertText(options.from, options.to, text);
    text.resize(text.find(u'\0') == std::u16string::npos ? text.size() : text.find(u'\0'));
    std::string out;
    if (options.bytesOut) {
        for (char16_t c : text) out += static_cast<char>(c);
        return out;
    }
    out.resize(text.size() * 3);
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                static_cast<int32_t>(text.size()), &error);
    out.resize(static_cast<std::size_t>(length));
    return out;
}

TEST(ConvertInput, BlocksGiveWhatTheWholeTextGives) {
    BuildTables();
    SetAnsiCodePage(1252);
    std::mt19937 rng(7);
    const std::string pieces[] = {"a",        " ",        "  ",           "shch",
                                  "\xd0\xb6", "\xd1\x91", "\xe2\x84\x96", "\xf0\x9f\x98\x80",
                                  "\xc3\x81", "\r\n",     "\xd0\xa9"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::u16string text;
    ByteBuffer out;
    for (int round = 0; round < 6; ++round) {
        std::string data;
        while (data.size() < 200000) data += pieces[pick(rng)];
        if (round == 5) data.insert(150000, 1, '\0');  // the clipboard text ends there
        for (TextFormat from : {kKoi8, kCp1251, kUnicode}) {
            for (TextFormat to = 1; to <= 4; ++to) {
                ConvertOptions options{from, to, round % 2 == 1, false};
                std::string message;
                const auto got = ConvertInput(options, data, text, out, message);
                ASSERT_TRUE(got) << message;
                EXPECT_TRUE(*got == Reference(options, data)) << from << "->" << to;
            }
        }
    }
}

TEST(ConvertInput, ErrorsNameTheFirstBadPlaceWhateverTheBlock) {
    BuildTables();
    std::u16string text;
    ByteBuffer out;
    std::string message;
    std::string data(100000, 'a');
    data[70000] = '\xff';
    data[90000] = '\xfe';
    EXPECT_FALSE(ConvertInput({kUnicode, kTranslit, false, false}, data, text, out, message));
    EXPECT_EQ(message, "invalid UTF-8 at byte offset 70000");
    // Behind the end of the clipboard text, too.
    data[70000] = '\0';
    EXPECT_FALSE(ConvertInput({kUnicode, kKoi8, false, false}, data, text, out, message));
    EXPECT_EQ(message, "invalid UTF-8 at byte offset 90000");
    // A character above U+00FF named by its position in the whole output.
    data = std::string(70000, 'b') + "\xd0\xb6";
    EXPECT_FALSE(ConvertInput({kUnicode, kUnicode, false, true}, data, text, out, message));
    EXPECT_EQ(message, "character U+0436 at position 70001 of the output is no byte");
    // Malformed UTF-8 anywhere outranks a character that cannot be written as a byte (found by
    // fuzzing: the blocks had reported the character first).
    data = std::string("\xc7\x92\0\xb6", 4);
    EXPECT_FALSE(ConvertInput({kKoi8, kKoi8, false, true}, data, text, out, message));
    EXPECT_EQ(message, "invalid UTF-8 at byte offset 3");
}

}  // namespace
}  // namespace litvorot
