// The UTF-8 decoder against the Unicode standard's rules: every length to its bounds, what the
// standard rules out (overlong forms, surrogates, beyond U+10FFFF, cut-short sequences), one
// U+FFFD for each maximal ill-formed subpart as in the standard's own examples, and agreement with
// utfcpp on random input.
#include <gtest/gtest.h>
#include <utf8.h>

#include <random>
#include <string>
#include <vector>

#include "convert/modUtf8.h"
#include "test_util.h"

namespace litvorot {
namespace {

// The bytes in memory of exactly their size, so that a sanitizer sees any read beyond them.
std::vector<unsigned char> Exact(std::string_view bytes) { return {bytes.begin(), bytes.end()}; }

Utf8Char Next(std::string_view bytes) {
    const std::vector<unsigned char> exact = Exact(bytes);
    return NextUtf8Char(exact.data(), exact.size());
}

std::optional<std::u16string> Strict(std::string_view bytes) {
    const std::vector<unsigned char> exact = Exact(bytes);
    return Utf8ToUtf16({reinterpret_cast<const char*>(exact.data()), exact.size()});
}

TEST(Utf8, DecodesEveryLengthToItsBounds) {
    const struct {
        std::string_view bytes;
        char32_t c;
    } cases[] = {
        {{"\x00", 1}, 0x00},
        {"\x7f", 0x7F},
        {"\xc2\x80", 0x80},
        {"\xdf\xbf", 0x7FF},
        {"\xe0\xa0\x80", 0x800},
        {"\xed\x9f\xbf", 0xD7FF},
        {"\xee\x80\x80", 0xE000},
        {"\xef\xbf\xbf", 0xFFFF},
        {"\xf0\x90\x80\x80", 0x10000},
        {"\xf4\x8f\xbf\xbf", 0x10FFFF},
    };
    for (const auto& [bytes, c] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        const Utf8Char next = Next(bytes);
        EXPECT_TRUE(next.valid);
        EXPECT_EQ(next.c, c);
        EXPECT_EQ(next.length, bytes.size());
        const std::u16string units =
            c < 0x10000 ? std::u16string(1, static_cast<char16_t>(c))
                        : std::u16string{static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)),
                                         static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
        EXPECT_EQ(Strict("a" + std::string(bytes) + "b"), u"a" + units + u"b");
        EXPECT_EQ(Utf8ToUtf32Lenient(bytes), std::u32string(1, c));
        EXPECT_EQ(FirstMalformedUtf8(bytes), bytes.size());
    }
}

// Each is refused wherever it stands: after ASCII, after a run of ASCII long enough to be
// stepped over in words, after Cyrillic letters; the first fault is named by its offset.
TEST(Utf8, RefusesWhatTheStandardRulesOut) {
    const std::string_view malformed[] = {
        // overlong forms: '/' in two, three and four bytes, and the largest of each
        "\xc0\xaf", "\xe0\x80\xaf", "\xf0\x80\x80\xaf", "\xc1\xbf", "\xe0\x9f\xbf",
        "\xf0\x8f\xbf\xbf", "\xc0\x80",
        // surrogates, alone and as a pair
        "\xed\xa0\x80", "\xed\xbf\xbf", "\xed\xa0\xbd\xed\xb8\x80",
        // beyond U+10FFFF, and the leads no character has
        "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xf7\xbf\xbf\xbf", "\xf8\x88\x80\x80\x80",
        "\xfc\x84\x80\x80\x80\x80", "\xfe", "\xff",
        // continuation bytes with no lead
        "\x80", "\xbf", "\x80\xbf\x80",
        // cut short: at the end, and before something else
        "\xc2", "\xe1\x80", "\xf1\x80\x80", "\xe1\x80z", "\xf1\x80\x80\xd0\xb6", "\xd0\xd0\xb6"};
    for (const std::string_view bad : malformed) {
        for (const std::string_view before : {"ab", "abcdefghijklm", "\xd0\xb0\xd0\xb1"}) {
            SCOPED_TRACE(testing::PrintToString(std::string(before) + std::string(bad)));
            const std::string text = std::string(before) + std::string(bad) + "cd";
            EXPECT_FALSE(Strict(text));
            EXPECT_EQ(FirstMalformedUtf8(text), before.size());
            EXPECT_FALSE(Next(bad).valid);
        }
    }
}

// The standard's examples of U+FFFD for maximal subparts (its tables of ill-formed sequences):
// one for the longest start of a well-formed sequence, else one for each byte. The help window
// once read C0 AF as '/'.
TEST(Utf8, ReplacesEachMaximalSubpartWithOneReplacementCharacter) {
    const struct {
        std::string_view bytes;
        std::u32string_view text;
    } cases[] = {
        {"\x61\xf1\x80\x80\xe1\x80\xc2\x62\x80\x63\x80\xbf\x64",
         U"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
        {"\xc0\xaf\xe0\x80\xbf\xf0\x81\x82\x41",
         U"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDA"},
        {"\xed\xa0\x80\xed\xbf\xbf\xed\xaf\x41",
         U"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDA"},
        {"\xf4\x91\x92\x93\xff\x41\x80\xbf\x42", U"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDA\uFFFD\uFFFDB"},
        {"\xe1\x80\xe2\xf0\x91\x92\xf1\xbf\x41", U"\uFFFD\uFFFD\uFFFD\uFFFDA"},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(Utf8ToUtf32Lenient(std::string(bytes)), text);
    }
    // The length of each subpart, at the end of the bytes too.
    EXPECT_EQ(Next("\xe1\x80z").length, 2u);
    EXPECT_EQ(Next("\xf1\x80\x80").length, 3u);
    EXPECT_EQ(Next("\xf0\x80\x80").length, 1u);
    EXPECT_EQ(Next("\xed\xa0\x80").length, 1u);
    EXPECT_EQ(Next("\xf4\x8f\xbf").length, 3u);
}

// What utfcpp, written independently, makes of the same bytes: where the first malformed sequence
// starts, and what well-formed input decodes to. (Its replacement of malformed parts is not
// Unicode's recommended one; the converter's tests check the lenient decoding against ICU's.)
TEST(Utf8, AgreesWithUtfcppOnRandomInput) {
    std::mt19937 rng(21);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = test::RandomUtf8Mix(rng, 24);
        SCOPED_TRACE(testing::PrintToString(text));
        const auto invalid = utf8::find_invalid(text.begin(), text.end());
        ASSERT_EQ(FirstMalformedUtf8(text), static_cast<std::size_t>(invalid - text.begin()));
        const std::optional<std::u16string> strict = Strict(text);
        ASSERT_EQ(strict.has_value(), invalid == text.end());
        if (strict) {
            std::u16string units;
            utf8::utf8to16(text.begin(), text.end(), std::back_inserter(units));
            ASSERT_EQ(*strict, units);
        }
    }
}

}  // namespace
}  // namespace litvorot
