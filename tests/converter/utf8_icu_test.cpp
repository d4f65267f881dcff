// The project's UTF-8 decoder against ICU, which the converter used to decode with, on random
// input: the same characters and subparts step by step, the same first fault (so that the
// converter's "invalid UTF-8 at byte offset N" names the byte it named before), the same text or
// refusal, and the same U+FFFD replacements as ICU's own conversion.
#include <gtest/gtest.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <random>
#include <string>

#include "convert/modUtf8.h"
#include "converter/modConvertInput.h"
#include "tables/modTables.h"
#include "test_util.h"

namespace litvorot {
namespace {

TEST(Utf8, DecodesAsIcuDid) {
    BuildTables();
    std::mt19937 rng(1251);
    std::u16string text;
    ByteBuffer out;
    for (int round = 0; round < 20000; ++round) {
        const std::string input = test::RandomUtf8Mix(rng, 24);
        SCOPED_TRACE(testing::PrintToString(input));
        const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
        const auto size = static_cast<std::int32_t>(input.size());
        std::size_t icuFirstFault = input.size();
        for (std::int32_t i = 0; i < size;) {
            const Utf8Char mine =
                NextUtf8Char(bytes + i, input.size() - static_cast<std::size_t>(i));
            const std::int32_t at = i;
            UChar32 c = 0;
            U8_NEXT(bytes, i, size, c);
            ASSERT_EQ(mine.valid, c >= 0) << "at " << at;
            if (c >= 0) {
                ASSERT_EQ(mine.c, static_cast<char32_t>(c)) << "at " << at;
            }
            ASSERT_EQ(mine.length, static_cast<std::uint32_t>(i - at)) << "at " << at;
            if (c < 0 && icuFirstFault == input.size())
                icuFirstFault = static_cast<std::size_t>(at);
        }
        ASSERT_EQ(FirstMalformedUtf8(input), icuFirstFault);

        std::u16string icu(input.size() + 1, u'\0');
        std::int32_t length = 0;
        UErrorCode error = U_ZERO_ERROR;
        u_strFromUTF8(icu.data(), static_cast<std::int32_t>(icu.size()), &length, input.data(),
                      size, &error);
        icu.resize(static_cast<std::size_t>(length));
        const std::optional<std::u16string> strict = Utf8ToUtf16(input);
        ASSERT_EQ(strict.has_value(), U_SUCCESS(error));
        if (strict) {
            ASSERT_EQ(*strict, icu);
        }

        error = U_ZERO_ERROR;
        icu.assign(input.size() * 2 + 1, u'\0');
        u_strFromUTF8WithSub(icu.data(), static_cast<std::int32_t>(icu.size()), &length,
                             input.data(), size, 0xFFFD, nullptr, &error);
        ASSERT_TRUE(U_SUCCESS(error));
        icu.resize(static_cast<std::size_t>(length));
        std::u32string lenient;
        for (std::size_t k = 0; k < icu.size(); ++k) {
            char32_t c = icu[k];
            if (U16_IS_LEAD(c) && k + 1 < icu.size()) c = U16_GET_SUPPLEMENTARY(c, icu[++k]);
            lenient += c;
        }
        ASSERT_EQ(Utf8ToUtf32Lenient(input), lenient);

        // The converter's refusal names the byte ICU found first.
        std::string message;
        if (!ConvertInput({kUnicode, kUnicode}, input, text, out, message)) {
            ASSERT_EQ(message, InvalidUtf8Message(icuFirstFault));
        } else {
            ASSERT_EQ(icuFirstFault, input.size());
        }
    }
}

}  // namespace
}  // namespace litvorot
