#include <gtest/gtest.h>
#include <iconv.h>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"
#include "test_util.h"

namespace litvorot {
namespace {

// What glibc's iconv makes of one byte, or -1 where the chart leaves it undefined.
int FromCharset(const char* charset, unsigned char byte) {
    iconv_t cd = iconv_open("UTF-16LE", charset);
    char in[1] = {static_cast<char>(byte)};
    char out[4] = {};
    char* inp = in;
    char* outp = out;
    size_t inLeft = 1, outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || outLeft != 2) return -1;
    return static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8;
}

TEST(CodePage, AllBytesMapAsWindowsDoes) {
    for (int cp : {1251, 1252}) {
        const char* charset = cp == 1251 ? "CP1251" : "CP1252";
        for (int b = 0; b < 256; ++b) {
            const int expected = FromCharset(charset, static_cast<unsigned char>(b));
            // Undefined bytes become the control character of the same number.
            EXPECT_EQ(ByteToChar(cp, static_cast<unsigned char>(b)), expected < 0 ? b : expected)
                << "code page " << cp << " byte " << b;
        }
    }
}

TEST(CodePage, LocalesChooseTheWindowsAnsiCodePage) {
    for (const char* cyrillic :
         {"ru_RU.UTF-8", "uk_UA.UTF-8", "be_BY", "bg_BG.UTF-8", "sr_RS", "mk_MK.UTF-8", "kk_KZ",
          "ky_KG", "tt_RU", "mn_MN", "ru", "uz_UZ.UTF-8@cyrillic"}) {
        EXPECT_EQ(CodePageForLocale(cyrillic), 1251) << cyrillic;
    }
    for (const char* other : {"en_US.UTF-8", "C", "POSIX", "C.UTF-8", "de_DE@euro", "sr_RS@latin",
                              "uz_UZ", "rue_UA", "", "fr"}) {
        EXPECT_EQ(CodePageForLocale(other), 1252) << other;
    }
}

TEST(CodePage, SettingAcceptsOnlyTheTwoCodePages) {
    test::CodePageScope scope(1252);
    EXPECT_FALSE(SetAnsiCodePage(866));
    EXPECT_EQ(AnsiCodePage(), 1252);
    EXPECT_TRUE(SetAnsiCodePage(1251));
    EXPECT_EQ(AnsiCodePage(), 1251);
}

TEST(CodePage, CodeToCharFollowsTheCodePage) {
    EXPECT_EQ(CodeToChar(kUnicode, 1105), u"ё");
    {
        test::CodePageScope scope(1252);
        EXPECT_EQ(CodeToChar(kCp1251, 184), u"¸");
        EXPECT_EQ(CodeToChar(kKoi8, 0xC1), u"Á");
    }
    {
        test::CodePageScope scope(1251);
        EXPECT_EQ(CodeToChar(kCp1251, 184), u"ё");
        EXPECT_EQ(CodeToChar(kKoi8, 0xC1), u"Б");
    }
}

}  // namespace
}  // namespace litvorot
