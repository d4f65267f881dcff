#include <gtest/gtest.h>

#include <random>

#include "convert/modTextRoutines.h"
#include "test_util.h"

namespace litvorot {
namespace {

using test::Terminated;
using test::U16;
using namespace std::string_literals;

class ConvertTest : public ::testing::Test {
  protected:
    void SetUp() override { BuildTables(); }

    static std::u16string Convert(TextFormat from, TextFormat to, std::u16string text) {
        ConvertText(from, to, text);
        return text;
    }
    test::CodePageScope codePage_{1252};
};

TEST_F(ConvertTest, UnicodeToTranslitKeepsNonLettersAndSpaces) {
    EXPECT_EQ(Convert(kUnicode, kTranslit, Terminated("Привет, мир!")), Terminated("Privet, mir!"));
    EXPECT_EQ(Convert(kUnicode, kTranslit, Terminated("а   б")), Terminated("a   b"));
    EXPECT_EQ(Convert(kUnicode, kTranslit, Terminated("№ 5, Україна")), Terminated("№ 5, Ukraїna"));
    EXPECT_EQ(Convert(kUnicode, kTranslit, U16("Щи\tи\r\nЪЬ")), U16("SHCHi\ti\r\n\"'"));
}

TEST_F(ConvertTest, SpacesAtBothEndsAroundTheTerminator) {
    // Per-character source: the spaces before the terminator stay inside, and as many again follow.
    EXPECT_EQ(Convert(kUnicode, kTranslit, Terminated("  Щука ёж  ")),
              Terminated("  SHCHuka ezh  ") + u"  ");
    // Translit source: the terminator is never read, so it is gone from the result.
    EXPECT_EQ(Convert(kTranslit, kUnicode, Terminated("  shchi  ")), U16("  щи  "));
    // Counting starts before the last character.
    EXPECT_EQ(CountTrailingSpaces(u"ab  "), 1u);
    EXPECT_EQ(CountTrailingSpaces(Terminated("ab  ")), 2u);
    EXPECT_EQ(CountTrailingSpaces(u" "), 0u);
    EXPECT_EQ(CountLeadingSpaces(u"   "), 3u);
    EXPECT_EQ(CountLeadingSpaces(u""), 0u);
    EXPECT_EQ(CountLeadingSpaces(u"\u00A0a"), 0u);  // only U+0020 is a space
}

TEST_F(ConvertTest, DegenerateTextsInEveryDirection) {
    for (TextFormat from = 1; from <= 4; ++from) {
        for (TextFormat to = 1; to <= 4; ++to) {
            EXPECT_EQ(Convert(from, to, u""), u"") << from << "->" << to;
            EXPECT_EQ(Convert(from, to, Terminated("   ")), Terminated("   ")) << from << to;
        }
        // Equal formats touch nothing, not even the spaces.
        EXPECT_EQ(Convert(from, from, Terminated("  x")), Terminated("  x"));
    }
}

TEST_F(ConvertTest, EightBitFormatsUnderCodePage1252) {
    const std::u16string koi = Convert(kUnicode, kKoi8, Terminated("Привет"));
    EXPECT_EQ(koi, Terminated("ðÒÉ×ÅÔ"));
    EXPECT_EQ(Convert(kKoi8, kTranslit, koi), Terminated("Privet"));
    EXPECT_EQ(Convert(kKoi8, kUnicode, koi), Terminated("Привет"));
    // A genuine Cyrillic letter in 8-bit text is no letter of that format.
    EXPECT_EQ(Convert(kKoi8, kUnicode, Terminated("Пx")), Terminated("Пx"));
    // Every letter survives Unicode -> 8-bit -> Unicode and 8-bit -> 8-bit -> 8-bit.
    std::u16string alphabet;
    for (char16_t c = u'А'; c <= u'я'; ++c) alphabet += c;
    alphabet += u"ёЁ";
    for (TextFormat eight : {kKoi8, kCp1251}) {
        const TextFormat other = eight == kKoi8 ? kCp1251 : kKoi8;
        const std::u16string bytes = Convert(kUnicode, eight, alphabet + u'\0');
        EXPECT_EQ(Convert(eight, kUnicode, bytes), alphabet + u'\0');
        EXPECT_EQ(Convert(other, eight, Convert(eight, other, bytes)), bytes);
    }
}

TEST_F(ConvertTest, EightBitOutputUnderCodePage1251IsRealCyrillic) {
    test::CodePageScope cp(1251);
    EXPECT_EQ(Convert(kUnicode, kCp1251, Terminated("Привет")), Terminated("Привет"));
    // KOI8 written under 1251 is the 1251 reading of the KOI8 bytes: а (C1) shows as Б.
    EXPECT_EQ(Convert(kUnicode, kKoi8, Terminated("а")), Terminated("Б"));
}

TEST_F(ConvertTest, TranslitRoundTripLosesOnlyWhatTheTableCannotTell) {
    EXPECT_EQ(Convert(kTranslit, kUnicode, Convert(kUnicode, kTranslit, Terminated("ёйэЪЬ тс иа"))),
              U16("еиеъь ц я"));
}

TEST_F(ConvertTest, InvalidSourceFormatCopiesAndReportsOnce) {
    test::MessageCounter messages;
    EXPECT_EQ(Convert(7, kCp1251, Terminated("ab")), Terminated("ab"));
    EXPECT_EQ(messages.count, 1);
    EXPECT_EQ(messages.last, "Invalid table");
    // A second conversion reports again, once.
    EXPECT_EQ(Convert(-1, kUnicode, Terminated(" абв ")), Terminated(" абв ") + u" ");
    EXPECT_EQ(messages.count, 2);
}

TEST_F(ConvertTest, InvalidDestinationCopiesLettersUnchanged) {
    test::MessageCounter messages;
    EXPECT_EQ(Convert(kUnicode, 0, Terminated("Щука, 1!")), Terminated("Щука, 1!"));
    EXPECT_EQ(Convert(kTranslit, 9, Terminated("shchuka \\e <*x*>")), U16("shchuka \\e x"));
    EXPECT_EQ(messages.count, 2);
    // Without a letter there is nothing to look up and nothing to report.
    EXPECT_EQ(Convert(kUnicode, 0, Terminated("123")), Terminated("123"));
    EXPECT_EQ(messages.count, 2);
}

TEST_F(ConvertTest, LongTextsConvertWhole) {
    // Far beyond 32,767 characters in and four times that out.
    std::u16string big;
    for (int i = 0; i < 200000; ++i) big += u"щ";
    const std::u16string latin = Convert(kUnicode, kTranslit, big + u'\0');
    ASSERT_EQ(latin.size(), 800001u);
    EXPECT_EQ(latin.substr(0, 8), u"shchshch");
    EXPECT_EQ(latin.back(), u'\0');
    EXPECT_EQ(Convert(kTranslit, kUnicode, latin), big);
    // Leading and trailing runs longer than 32,767 are counted exactly.
    const std::u16string spaced = std::u16string(40000, u' ') + u"б" + std::u16string(40000, u' ');
    EXPECT_EQ(Convert(kUnicode, kKoi8, spaced + u'\0'), std::u16string(40000, u' ') + u"Â" +
                                                            std::u16string(40000, u' ') + u'\0' +
                                                            std::u16string(40000, u' '));
}

TEST_F(ConvertTest, NextCharSteps) {
    std::size_t pos = 3;
    EXPECT_EQ(NextChar(u"ab", pos), u"");
    EXPECT_EQ(pos, 4u);
    pos = 2;
    EXPECT_EQ(NextChar(u"ab", pos), u"b");
    EXPECT_EQ(pos, 3u);
}

TEST_F(ConvertTest, RandomTextsNeverGrowBeyondFourTimesAndNonLettersSurvive) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> unit(0, 0xFFFF);
    for (int round = 0; round < 200; ++round) {
        std::u16string text;
        for (int i = 0; i < 50; ++i) text += static_cast<char16_t>(unit(rng));
        for (TextFormat from = 1; from <= 4; ++from) {
            for (TextFormat to = 1; to <= 4; ++to) {
                const std::u16string out = Convert(from, to, text);
                EXPECT_LE(out.size(), text.size() * 4 + 4);
            }
        }
        // Texts with no Cyrillic and no Latin/mark characters pass any direction unchanged.
        std::u16string digits;
        for (char16_t c : text) digits += static_cast<char16_t>(u'0' + c % 10);
        EXPECT_EQ(Convert(kUnicode, kTranslit, digits), digits);
        EXPECT_EQ(Convert(kTranslit, kKoi8, digits + u'\0'), digits);
    }
}

TEST_F(ConvertTest, FastPathGivesExactlyThePlainResults) {
    std::mt19937 rng(42);
    // Mostly letters of every format, with spaces, marks, NULs and arbitrary units mixed in.
    const std::u16string pool =
        u"абвгдеёжзийклмнопрстуфхцчшщъыьэюяАЁЯЩ ÁÂ×ÒÉðÿ\xa3\xb3\xb8\xa8"
        u"shchzhkhtsiaiuSHCH\\.e_<*>\"' \0\r\n12"s;
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    std::uniform_int_distribution<int> any(0, 0xFFFF);
    for (int cp : {1251, 1252}) {
        test::CodePageScope scope(cp);
        for (int round = 0; round < 300; ++round) {
            std::u16string text;
            for (int i = 0, n = round % 40; i < n; ++i) {
                text += round % 5 == 0 ? static_cast<char16_t>(any(rng)) : pool[pick(rng)];
            }
            for (TextFormat from = 0; from <= 5; ++from) {
                for (TextFormat to = 0; to <= 5; ++to) {
                    std::u16string fast = text, plain = text;
                    ConvertText(from, to, fast);
                    ConvertTextPlain(from, to, plain);
                    ASSERT_EQ(fast, plain) << "cp " << cp << " " << from << "->" << to;
                }
            }
        }
    }
}

TEST_F(ConvertTest, LetterWriterWritesWhatWriteLetterWrites) {
    for (int cp : {1251, 1252}) {
        test::CodePageScope scope(cp);
        for (TextFormat dest = 1; dest <= 4; ++dest) {
            const LetterWriter writer(dest);
            for (LetterIndex i = 1; i <= kLetterCount; ++i) {
                std::u16string viaWriter, viaLookup;
                ASSERT_TRUE(writer.Write(i, viaWriter));
                ASSERT_TRUE(WriteLetter(dest, i, viaLookup));
                EXPECT_EQ(viaWriter, viaLookup) << dest << " " << i;
            }
        }
    }
}

}  // namespace
}  // namespace litvorot
