#include <gtest/gtest.h>

#include <random>

#include "convert/modTextRoutines.h"
#include "convert/modTranslit.h"
#include "test_util.h"

namespace litvorot {
namespace {

using namespace std::string_literals;

using test::Terminated;
using test::U16;
using test::U8;

class TranslitTest : public ::testing::Test {
  protected:
    void SetUp() override { BuildTables(); }

    // Translit (terminated, as from the clipboard) to Unicode, as UTF-8 for readable failures.
    static std::string Read(std::string_view latin) {
        std::u16string text = Terminated(latin);
        ConvertText(kTranslit, kUnicode, text);
        return U8(text);
    }
};

struct Case {
    const char* in;
    const char* out;
};

void ExpectAll(std::string (*read)(std::string_view), std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(read(c.in), c.out) << "input: " << c.in;
}

TEST_F(TranslitTest, SibilantsPreferTheLongestRule) {
    ExpectAll(Read, {{"shchi", "щи"},
                     {"Shch", "Щ"},
                     {"SHCHI", "ЩИ"},
                     {"sHCH", "щ"},
                     {"shchshch", "щщ"},
                     {"shc", "шc"},
                     {"shh", "шh"},
                     {"sshh", "сшh"},
                     {"shcx", "шcx"},
                     {"s", "с"}});
}

TEST_F(TranslitTest, DigraphsTakeTheirCaseFromTheFirstLetter) {
    ExpectAll(Read, {{"privet", "привет"},
                     {"zhurnal", "журнал"},
                     {"Zhurnal", "Журнал"},
                     {"ZHURNAL", "ЖУРНАЛ"},
                     {"zHuk", "жук"},
                     {"ZHuk", "Жук"},
                     {"Chekhov", "Чехов"},
                     {"cat", "cат"},
                     {"C", "C"},
                     {"khkh", "хх"},
                     {"kH", "х"},
                     {"tsar", "цар"},
                     {"TSAR", "ЦАР"},
                     {"ia iu ya", "я ю ыа"},
                     {"Ia", "Я"},
                     {"IA", "Я"},
                     {"iA", "я"},
                     {"IU", "Ю"},
                     {"iod", "иод"}});
}

TEST_F(TranslitTest, MarksAndEscapes) {
    ExpectAll(Read, {{"ob\"iavlenie", "объявление"},
                     {"Mal'chik", "Мальчик"},
                     {"\\e\\E\\i\\I", "ёЁйЙ"},
                     {"\\.eto", "это"},
                     {"\\.Eto", "Это"},
                     {"e\\e\\.e", "еёэ"},
                     {"\\x", "\\x"},
                     {"\\.x", "\\.x"},
                     {"\\.\\.e", "\\.э"},
                     {"\\", "\\"},
                     {"\\\\e", "\\ё"},
                     {"\\'\\\"", "'\""},
                     {"\\.", "\\."}});
}

TEST_F(TranslitTest, SeparatorAndVerbatimSections) {
    ExpectAll(Read, {{"t_s", "тс"},
                     {"i_a", "иа"},
                     {"sh_ch", "шч"},
                     {"s_kh", "сх"},
                     {"s_h", "сh"},
                     {"<*Hello*> mir", "Hello мир"},
                     {"<*a*b*>", "a*b"},
                     {"<**>", ""},
                     {"<***>>", "*>"},
                     {"<*<*a*>*>", "<*a*>"},
                     {"a<b", "а<б"},
                     {"<<*a*>", "<a"},
                     {"*>", "*>"},
                     {"x h w q j", "x h w q j"}});
}

TEST_F(TranslitTest, OpenVerbatimSectionEndsWithTheTextAndKeepsWhatItCopied) {
    // The section reads the terminator too, and keeps it.
    EXPECT_EQ(Read("da <*shch"), std::string("да shch") + '\0');
    EXPECT_EQ(Read("<*"), std::string(1, '\0'));
    EXPECT_EQ(Read("<*x*"), std::string("x*") + '\0');
}

TEST_F(TranslitTest, TheLastCharacterNeverStartsARule) {
    std::u16string da = u"da";
    ConvertText(kTranslit, kUnicode, da);
    EXPECT_EQ(da, u"д");
    // A one-character text is read once.
    std::u16string a = u"a";
    ConvertText(kTranslit, kUnicode, a);
    EXPECT_EQ(a, u"а");
    // A look-ahead may read the terminator and give it back.
    EXPECT_EQ(Read("k"), "к");
    EXPECT_EQ(Read("s"), "с");
}

TEST_F(TranslitTest, EightBitDestinations) {
    test::CodePageScope cp(1252);
    std::u16string text = Terminated("Privet");
    ConvertText(kTranslit, kKoi8, text);
    EXPECT_EQ(text, U16("ðÒÉ×ÅÔ"));
    text = Terminated("\\e");
    ConvertText(kTranslit, kCp1251, text);
    EXPECT_EQ(text, U16("¸"));
}

TEST_F(TranslitTest, ReaderNeverWritesMoreThanItReads) {
    std::mt19937 rng(99);
    const std::u16string alphabet = u"shcSHCiuaIUkKtTzZ\\._<*>\"'e E.x\0"s;
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 2000; ++round) {
        std::u16string text;
        for (int i = 0, n = round % 17; i < n; ++i) text += alphabet[pick(rng)];
        for (TextFormat dest : {kKoi8, kCp1251, kUnicode, TextFormat{0}}) {
            std::u16string out;
            ReadTranslit(text, dest, out);
            EXPECT_LE(out.size(), text.size()) << U8(text);
        }
    }
}

}  // namespace
}  // namespace litvorot
