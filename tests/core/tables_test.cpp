#include <gtest/gtest.h>
#include <iconv.h>

#include <set>
#include <stdexcept>
#include <string>

#include "tables/modTables.h"
#include "test_util.h"

namespace litvorot {
namespace {

class TablesTest : public ::testing::Test {
  protected:
    void SetUp() override { BuildTables(); }
};

std::uint8_t Byte(TextFormat f, LetterIndex i) { return std::get<std::uint8_t>(TableValue(f, i)); }
std::int16_t Unit(LetterIndex i) { return std::get<std::int16_t>(TableValue(kUnicode, i)); }
std::u16string Latin(LetterIndex i) {
    return std::u16string(std::get<std::u16string_view>(TableValue(kTranslit, i)));
}

// The system's own iconv as an independent authority on the two byte columns.
int ToCharset(const char* charset, char16_t unit) {
    iconv_t cd = iconv_open(charset, "UTF-16LE");
    char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    char out[4] = {};
    char* inp = in;
    char* outp = out;
    size_t inLeft = 2, outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    return r == static_cast<size_t>(-1) || outLeft != 3 ? -1 : static_cast<unsigned char>(out[0]);
}

TEST_F(TablesTest, ByteColumnsAgreeWithKoi8rAndWindows1251Charts) {
    for (LetterIndex i = 1; i <= kLetterCount; ++i) {
        const char16_t unit = static_cast<char16_t>(Unit(i));
        EXPECT_EQ(Byte(kKoi8, i), ToCharset("KOI8-R", unit)) << "index " << i;
        EXPECT_EQ(Byte(kCp1251, i), ToCharset("CP1251", unit)) << "index " << i;
    }
}

TEST_F(TablesTest, AlphabetOrderCaseAndUniqueness) {
    std::set<int> unicode, koi, cp;
    std::set<std::u16string> latin;
    for (LetterIndex i = 1; i <= kLetterCount; ++i) {
        unicode.insert(Unit(i));
        koi.insert(Byte(kKoi8, i));
        cp.insert(Byte(kCp1251, i));
        latin.insert(Latin(i));
    }
    EXPECT_EQ(unicode.size(), 66u);
    EXPECT_EQ(koi.size(), 66u);
    EXPECT_EQ(cp.size(), 66u);
    EXPECT_EQ(latin.size(), 58u);
    // ё sits right after е; capitals follow the lower case 33 places on.
    EXPECT_EQ(Unit(6), 0x0435);
    EXPECT_EQ(Unit(7), 0x0451);
    EXPECT_EQ(Unit(8), 0x0436);
    for (LetterIndex i = 1; i <= 33; ++i) {
        EXPECT_EQ(Unit(i + 33), i == 7 ? 0x0401 : Unit(i) - 0x20) << "index " << i;
    }
}

// Letter() names the letters the Translit reader writes; it must find each one where the table
// keeps it, and nothing else.
TEST_F(TablesTest, LetterFindsEachTableEntry) {
    for (LetterIndex i = 1; i <= kLetterCount; ++i) {
        EXPECT_EQ(Letter(static_cast<char16_t>(Unit(i))), i) << "index " << i;
    }
    for (const char16_t c : std::u16string_view(u"aZ0 \u0400\u040f\u0450\u0452\u04c0")) {
        EXPECT_EQ(Letter(c), 0) << int(c);
    }
}

TEST_F(TablesTest, LookupsByCode) {
    EXPECT_EQ(TableIndex(kKoi8, std::int16_t{193}), 1);
    EXPECT_EQ(TableIndex(kKoi8, std::int16_t{0x0430}), 0);
    EXPECT_EQ(TableIndex(kKoi8, std::int16_t{0xA3}), 7);
    EXPECT_EQ(TableIndex(kKoi8, std::int16_t{0xB3}), 40);
    EXPECT_EQ(TableIndex(kCp1251, std::int16_t{0xB8}), 7);
    EXPECT_EQ(TableIndex(kCp1251, std::int16_t{0xA8}), 40);
    EXPECT_EQ(TableIndex(kUnicode, std::int16_t{0x0451}), 7);
    EXPECT_EQ(TableIndex(kUnicode, std::int16_t{0x0401}), 40);
    EXPECT_EQ(TableIndex(kUnicode, std::int16_t{0x0041}), 0);
    EXPECT_EQ(TableIndex(kUnicode, std::int16_t{-1}), 0);  // U+FFFF reads as a negative code
    // Round trip value -> index in the numeric formats.
    for (LetterIndex i = 1; i <= kLetterCount; ++i) {
        EXPECT_EQ(TableIndex(kKoi8, static_cast<std::int16_t>(Byte(kKoi8, i))), i);
        EXPECT_EQ(TableIndex(kCp1251, static_cast<std::int16_t>(Byte(kCp1251, i))), i);
        EXPECT_EQ(TableIndex(kUnicode, Unit(i)), i);
    }
}

TEST_F(TablesTest, TranslitLookupIsWholeStringAndFirstMatch) {
    EXPECT_EQ(TableIndex(kTranslit, u"shch"), 27);
    EXPECT_EQ(TableIndex(kTranslit, u"SHCH"), 60);
    EXPECT_EQ(TableIndex(kTranslit, u"Shch"), 0);
    EXPECT_EQ(TableIndex(kTranslit, u"sh"), 26);
    EXPECT_EQ(TableIndex(kTranslit, u""), 0);
    EXPECT_EQ(TableIndex(kTranslit, u"e"), 6);
    EXPECT_EQ(TableIndex(kTranslit, u"E"), 39);
    EXPECT_EQ(TableIndex(kTranslit, u"\""), 28);
    EXPECT_EQ(TableIndex(kTranslit, u"'"), 30);
    // Shared strings always give the lowest index.
    const std::pair<LetterIndex, LetterIndex> shared[] = {{7, 6},   {11, 10}, {31, 6},  {40, 39},
                                                          {44, 43}, {61, 28}, {63, 30}, {64, 39}};
    for (auto [index, found] : shared) EXPECT_EQ(TableIndex(kTranslit, Latin(index)), found);
}

TEST_F(TablesTest, ValuesAndRefusals) {
    EXPECT_EQ(Latin(27), u"shch");
    EXPECT_EQ(Latin(61), u"\"");
    EXPECT_EQ(Byte(kKoi8, 7), 0xA3);
    EXPECT_EQ(Byte(kCp1251, 40), 0xA8);
    EXPECT_EQ(Unit(66), 0x042F);
    for (TextFormat f = 1; f <= 4; ++f) {
        EXPECT_THROW(TableValue(f, 0), std::out_of_range);
        EXPECT_THROW(TableValue(f, 67), std::out_of_range);
    }
    test::MessageCounter messages;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(TableValue(5, 1)));
    EXPECT_EQ(TableIndex(0, std::int16_t{0x430}), 0);
    EXPECT_EQ(TableIndex(-1, u"a"), 0);
    EXPECT_EQ(messages.count, 3);
    EXPECT_EQ(messages.last, "Invalid table");
}

TEST_F(TablesTest, BuildingTwiceChangesNothing) {
    const std::u16string before = Latin(27);
    BuildTables();
    EXPECT_EQ(Latin(27), before);
    EXPECT_EQ(TableIndex(kKoi8, std::int16_t{193}), 1);
}

}  // namespace
}  // namespace litvorot
