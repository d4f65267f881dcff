#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "convert/modTextRoutines.h"
#include "detect/modCharsets.h"
#include "detect/modDetect.h"
#include "test_util.h"

namespace litvorot {
namespace {

using test::Terminated;
using test::U16;
using test::U8;

class DetectTest : public ::testing::Test {
  protected:
    void SetUp() override { BuildTables(); }

    // What the automatic source makes of `text` (a clipboard text) in Unicode.
    static std::string Auto(std::string_view text) {
        std::u16string t = Terminated(text);
        ConvertAuto(kUnicode, t);
        return U8(t.substr(0, t.find(u'\0')));
    }
    static ReadingKind Chosen(std::string_view text) {
        return ListReadings(U16(text)).front().kind;
    }
    // `text` misread: its bytes in `real` shown as `shown` (nullopt: UTF-8 bytes).
    static std::string Garble(std::string_view text, std::optional<Charset> real, Charset shown) {
        std::string bytes(text);
        if (real) bytes = *EncodeCharset(*real, U16(text));
        return U8(DecodeCharset(shown, bytes));
    }
    // `text` in MacCyrillic shown as CP 1251.
    static std::string Mac(std::string_view text) {
        return Garble(text, Charset::kMacCyrillic, Charset::kWindows1251);
    }
    // Each text comes back as what follows it; each good text is left as it is.
    using Cases = std::initializer_list<std::pair<std::string_view, std::string_view>>;
    static void ExpectRepaired(Cases cases) {
        for (const auto& [text, expected] : cases) EXPECT_EQ(Auto(text), expected) << text;
    }
    static void ExpectLeftAlone(std::initializer_list<std::string_view> texts) {
        for (const std::string_view text : texts) EXPECT_EQ(Auto(text), text) << text;
    }
    test::CodePageScope codePage_{1252};
};

TEST_F(DetectTest, CharsetsRoundTripAndAgreeWithTheLetterTables) {
    for (Charset c : {Charset::kWindows1251, Charset::kWindows1252, Charset::kKoi8R}) {
        std::string all;
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
        EXPECT_EQ(EncodeCharset(c, DecodeCharset(c, all)), all);  // every byte, undefined ones too
    }
    for (LetterIndex i = 1; i <= kLetterCount; ++i) {
        const auto unicode = static_cast<char16_t>(std::get<std::int16_t>(TableValue(kUnicode, i)));
        EXPECT_EQ(CharsetChar(Charset::kKoi8R, std::get<std::uint8_t>(TableValue(kKoi8, i))),
                  unicode);
        EXPECT_EQ(
            CharsetChar(Charset::kWindows1251, std::get<std::uint8_t>(TableValue(kCp1251, i))),
            unicode);
    }
    // Undefined bytes are the control characters of their number, as Windows reads them.
    EXPECT_EQ(CharsetChar(Charset::kWindows1251, 0x98), u'\u0098');
    EXPECT_EQ(CharsetChar(Charset::kWindows1252, 0x9D), u'\u009D');
    EXPECT_FALSE(EncodeCharset(Charset::kKoi8R, u"«a»"));
    EXPECT_FALSE(EncodeCharset(Charset::kWindows1252, u"я"));
}

TEST_F(DetectTest, Utf8DecodingRefusesMalformedBytes) {
    EXPECT_EQ(DecodeUtf8("\xD0\x9F\xF0\x9F\x98\x80x"), u"П\U0001F600x");
    for (std::string_view bad : {"\xD0", "\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80",
                                 "\xF4\x90\x80\x80", "\x80", "\xD0\x41", "\xFF"}) {
        EXPECT_FALSE(DecodeUtf8(bad)) << testing::PrintToString(std::string(bad));
    }
}

TEST_F(DetectTest, EachMixUpComesBack) {
    const std::string text = "Привет, как дела? Всё хорошо.";
    EXPECT_EQ(Auto(Garble(text, std::nullopt, Charset::kWindows1251)), text);  // РџСЂРёРІРµС‚
    EXPECT_EQ(Auto(Garble(text, std::nullopt, Charset::kKoi8R)), text);
    EXPECT_EQ(Auto(Garble(text, std::nullopt, Charset::kWindows1252)), text);  // ÐŸÑ€Ð¸Ð²ÐµÑ‚
    EXPECT_EQ(Auto(Garble(text, Charset::kWindows1251, Charset::kKoi8R)), text);
    EXPECT_EQ(Auto(Garble(text, Charset::kKoi8R, Charset::kWindows1251)), text);
    EXPECT_EQ(Chosen(Garble(text, std::nullopt, Charset::kWindows1251)),
              ReadingKind::kUtf8AsCp1251);
    EXPECT_EQ(Chosen(Garble(text, std::nullopt, Charset::kKoi8R)), ReadingKind::kUtf8AsKoi8R);
    EXPECT_EQ(Chosen(Garble(text, Charset::kKoi8R, Charset::kWindows1251)),
              ReadingKind::kKoi8RAsCp1251);
    // Single words too.
    EXPECT_EQ(Auto("РџСЂРёРІРµС‚"), "Привет");
    EXPECT_EQ(Auto("ÐŸÑ€Ð¸Ð²ÐµÑ‚"), "Привет");
    EXPECT_EQ(Auto("оПХБЕР"), "Привет");
    EXPECT_EQ(Auto("рТЙЧЕФ"), "Привет");
    // И is D0 98 in UTF-8, whose 98 CP 1251 leaves undefined.
    EXPECT_EQ(Auto(Garble("Иван Иванович", std::nullopt, Charset::kWindows1251)), "Иван Иванович");
}

TEST_F(DetectTest, EightBitFormatsReadAsTheirSources) {
    EXPECT_EQ(Auto("ðÒÉ×ÅÔ, ÍÉÒ"), "Привет, мир");  // KOI8 bytes, one character each
    EXPECT_EQ(Auto("Ïðèâåò, ìèð"), "Привет, мир");  // CP 1251 bytes
    EXPECT_EQ(Chosen("ðÒÉ×ÅÔ, ÍÉÒ"), ReadingKind::kKoi8Bytes);
    EXPECT_EQ(Chosen("Ïðèâåò, ìèð"), ReadingKind::kCp1251Bytes);
}

TEST_F(DetectTest, KeyboardLayouts) {
    EXPECT_EQ(SwapLayout(u"ghbdtn? vbh", true), u"привет, мир");
    EXPECT_EQ(SwapLayout(u"Ghbdtn/ `@#$^&|", true), u"Привет. ё\"№;:?/");
    EXPECT_EQ(SwapLayout(u"руддщб цщкдв", false), u"hello, world");
    EXPECT_EQ(SwapLayout(SwapLayout(u"q[]{};':\",.<>/?`~", true), false), u"q[]{};':\",.<>/?`~");
    EXPECT_EQ(Auto("ghbdtn? rfr ltkf"), "привет, как дела");
    EXPECT_EQ(Auto("Ntrcn yt yfqlty/"), "Текст не найден.");
    EXPECT_EQ(Auto("руддщб цщкдв"), "hello, world");
    EXPECT_EQ(Auto("ghbdtn"), "привет");
    EXPECT_EQ(Auto("руддщ"), "hello");
    // A text with letters of both scripts was not typed on one wrong layout.
    for (const Reading& r : ListReadings(u"ghbdtn мир")) {
        EXPECT_NE(r.kind, ReadingKind::kRussianOnEnglishKeys);
        EXPECT_NE(r.kind, ReadingKind::kEnglishOnRussianKeys);
    }
}

TEST_F(DetectTest, TranslitIsReadAsTheTranslitSourceReadsIt) {
    for (std::string_view text : {"Ne udalos' naiti paket dlia ustanovki",
                                  "Mal'chik s\"el \\.eskimo i shchi", "  privet, kak dela  "}) {
        std::u16string viaAuto = Terminated(text);
        const auto readings = ConvertAuto(kUnicode, viaAuto);
        EXPECT_EQ(readings.front().kind, ReadingKind::kTranslitText) << text;
        std::u16string viaTranslit = Terminated(text);
        ConvertText(kTranslit, kUnicode, viaTranslit);
        EXPECT_EQ(viaAuto, viaTranslit) << text;
    }
    // Into another format too: the reading converts from Translit itself.
    std::u16string koi = Terminated("privet, kak dela");
    ConvertAuto(kKoi8, koi);
    std::u16string direct = Terminated("privet, kak dela");
    ConvertText(kTranslit, kKoi8, direct);
    EXPECT_EQ(koi, direct);
}

// Translit writes й as i, э and ё as e, тс as ts, иа as ia: the reading is scored as the Russian
// it may have been written from, while its text stays exactly what the Translit source reads.
TEST_F(DetectTest, ShortTranslitComesBack) {
    for (std::string_view text :
         {"strannyi", "nulevoi", "Trebuetsia", "pervyi", "Server otverg", "oshibka v faile",
          "Ustroistvo ili resurs", "perenosnoi fail", "chasovoi poias s", "Esli FAIL ne zadan,",
          "format dlia BUKVY v stile", "chtenie faila s informatsiei o",
          "nomer versii ne nachinaetsia s tsifry"}) {
        std::u16string viaTranslit = Terminated(text);
        ConvertText(kTranslit, kUnicode, viaTranslit);
        EXPECT_EQ(Auto(text), U8(viaTranslit.substr(0, viaTranslit.find(u'\0')))) << text;
        EXPECT_EQ(Chosen(text), ReadingKind::kTranslitText) << text;
    }
    const auto translitOf = [](std::u16string_view text) {
        for (const Reading& r : ListReadings(text)) {
            if (r.kind == ReadingKind::kTranslitText) return r;
        }
        ADD_FAILURE() << U8(text);
        return Reading{};
    };
    // Scored as the cheapest spelling, at least as well as the word it was written from ...
    EXPECT_GE(translitOf(u"nulevoi").score, -TextCost(u"нулевой"));
    EXPECT_GE(translitOf(u"otsiuda").score, -TextCost(u"отсюда"));
    EXPECT_GE(translitOf(u"material").score, -TextCost(u"материал"));
    EXPECT_GE(translitOf(u"Etot Ezhik").score, -TextCost(u"Этот Ежик"));
    EXPECT_GT(translitOf(u"nulevoi").score, -TextCost(u"нулевои"));
    // ... and never worse than the letters the reader gives, whose text it keeps.
    for (std::u16string_view text : {u"privet", u"shchuka i iuga", u"tsekh"}) {
        std::u16string read(text);
        read.push_back(u'\0');
        ConvertText(kTranslit, kUnicode, read);
        read.resize(std::min(read.size(), read.find(u'\0')));
        EXPECT_GE(translitOf(text).score, -TextCost(read)) << U8(text);
    }
    // A text with Cyrillic words of its own is scored by its letters.
    EXPECT_EQ(translitOf(u"файл nulevoi").score, -TextCost(u"файл нулевои"));
}

// A comma run into a word after white space is the English layout's «б»; a good text keeps its own.
TEST_F(DetectTest, ACommaRunIntoAWordIsTheLayoutsLetter) {
    ExpectRepaired({{"разметка ,fpf", "разметка база"}});
    ExpectLeftAlone({"раз ,два", "x=1,y=2", "a ;b", "см. ,,цитату''"});
}

// No Russian word begins with «ы», which Translit writes «y»: Japanese names in English are no
// Translit, a Translit word that has «y» within still is.
TEST_F(DetectTest, AWordBeginningWithYIsNoTranslit) {
    ExpectLeftAlone({"Yasuo Eto, Noritada Kobayashi", "Yoshida"});
    ExpectRepaired({{"Vy mozhete", "Вы можете"}, {"privet, vy", "привет, вы"}});
}

// Of the words of one letter, English writes «a» and «I», Russian «а в и к о с у я»: Translit's
// short words come back beside another short word. A letter alone in a code, an option, an
// abbreviation, a contraction or a Russian text stays, and so does a text of one letter, which
// tells nothing of how it came about («Ё» is no «и» of 866). A Russian capital alone names
// something as often («Н» for a number), and Ukrainian «ж» is a word.
TEST_F(DetectTest, OneLetterWordsTellTranslitFromEnglish) {
    ExpectRepaired(
        {{"v tot", "в тот"}, {"No v", "Но в"}, {"V pole", "В поле"}, {"Н cообщить", "Н сообщить"}});
    ExpectLeftAlone({"Don't do it", "Use the -v option", "e.g. this", "J. Smith", "x86 and A4",
                     "т.е. это", "модификатор s,", "Р", "Ё", "Ц"});
    for (std::string_view text :
         {"Н сообщить ядру, что терминал", "установить Н как минимальным числом"}) {
        const std::string garbled = Garble(text, Charset::kKoi8R, Charset::kWindows1251);
        EXPECT_EQ(Auto(garbled), text) << garbled;
    }
    const std::string_view ukrainian = "попередження: підбиття зведення це те ж саме, що й";
    EXPECT_EQ(Auto(Garble(ukrainian, Charset::kKoi8U, Charset::kWindows1251)), ukrainian);
}

// MacCyrillic's en dash is CP 1251's «Р», no word of Russian: alone before a word in small
// letters it is the dash, at a text's start too.
TEST_F(DetectTest, MacCyrillicsEnDashBeforeAWordComesBack) {
    for (std::string_view text :
         {"– кнопка", "– это символ-индикатор", "где – это последовательность",
          "контрольных сумм как: – строка"}) {
        const std::string garbled = Mac(text);
        EXPECT_EQ(Auto(garbled), text) << garbled;
    }
}

// Of the readings of Latin letters that beat their margins, the one that beats its own by most:
// «Byl» scores a little better as «Инд» typed on the English layout, whose margin is larger, but
// is Translit's «Был». What only the layout reads stays the layout's.
TEST_F(DetectTest, OfTwoReadingsOfLatinLettersTheOneFurthestPastItsMarginComesFirst) {
    EXPECT_EQ(Chosen("Byl"), ReadingKind::kTranslitText);
    ExpectRepaired(
        {{"Byl", "Был"}, {"Byl li", "Был ли"}, {"ghbdtn", "привет"}, {"Cgfcb,j", "Спасибо"}});
}

// English words that are nearly Russian once read as Translit, and short English phrases.
TEST_F(DetectTest, EnglishNearTranslitIsLeftAlone) {
    for (std::string_view text : {"ok", "program", "provide", "obsolete", "system", "byte", "mere",
                                  "to be", "no file", "assume input", "file system", "Pete TerMaat",
                                  "David M. Ihnat", "Run a program in a", "Problem", "problem"}) {
        EXPECT_EQ(Auto(text), text) << text;
    }
    // Translit reads the Latin word of a Russian text only, which must gain on it as before.
    for (std::string_view text : {"Файл config не найден", "Запустите make install снова"}) {
        EXPECT_EQ(Auto(text), text) << text;
    }
}

// A long word that is no English word but reads as a Russian one is Translit, though its letters
// alone score about as well as English; an English word, or one in capitals, stays.
TEST_F(DetectTest, ALongWordOnlyRussianKnowsIsTranslit) {
    for (auto [text, russian] :
         {std::pair{"Abiturienty", "Абитуриенты"}, std::pair{"administratory", "администраторы"}}) {
        EXPECT_EQ(Auto(text), russian) << text;
    }
    for (std::string_view text :
         {"Progress", "moment", "Kubernetes", "use DELIM instead of TAB for field"}) {
        EXPECT_EQ(Auto(text), text) << text;
    }
}

// A Russian text quotes programs: formats, options, names of code and abbreviations are no
// Translit in it (messages of Debian's catalogues, which had come back «%с», «-К», «ПЕМ»). A
// phrase typed in Translit within one still is.
TEST_F(DetectTest, CodeAndAbbreviationsInARussianTextAreNoTranslit) {
    ExpectLeftAlone({"неоднозначный аргумент «%s»: неизвестная редакция",
                     "   (тип: %3u, размер: %3u): ", "Нераспознанный параметр после -K",
                     "Не найден секретный ключ в формате PEM",
                     "OPR_IOR (логическое включающее или)\n", "Файл /etc/fstab для x86_64",
                     "Мирослав Куре (Miroslav Kuře)", "После K может стоять один из",
                     "Нажмите клавишу S", "автоматическую загрузку ядром и udev.",
                     " vma:\t\tНачальный адрес", "поля vsetvli, значение должно быть"});
    ExpectRepaired({{"Привет, kak dela?", "Привет, как дела?"},
                    {"Готово. V drugom meste", "Готово. В другом месте"}});
    // A Latin word alone among Russian ones is Translit only where it reads as a word of the
    // lists, as Translit spells it: «й» as «i», «тс» as «ц».
    ExpectRepaired({{"Nastroika напоследок", "Настроика напоследок"},
                    {"Протокол zadaetsia", "Протокол задаеця"}});
}

TEST_F(DetectTest, GoodTextsAreLeftAlone) {
    for (std::string_view text : {"Привет",
                                  "hello",
                                  "data",
                                  "port",
                                  "file",
                                  "Москва",
                                  "OK",
                                  "a",
                                  "я",
                                  "",
                                  "   ",
                                  "42",
                                  "3.14159",
                                  "Привет, мир! Как дела?",
                                  "The quick brown fox jumps over the lazy dog.",
                                  "Permission denied",
                                  "for (int i = 0; i < n; ++i) { sum += a[i]; }",
                                  "https://example.com/path?q=1&lang=ru",
                                  "user@example.org",
                                  "C:\\Windows\\System32",
                                  "Установите пакет libqt6-dev и запустите cmake --build .",
                                  "Версия 2.4.1 (сборка 2026-12-08)",
                                  "«Ёлки-палки», — сказал он…",
                                  "№ 5, Україна",
                                  "Ошибка: не удалось открыть файл «/etc/passwd»",
                                  "git commit -m \"fix\"",
                                  "SELECT * FROM users WHERE id = 7;",
                                  "Qt-приложение",
                                  "café au lait",
                                  "Straße",
                                  "ГОСТ",
                                  "HTTP/1.1 200 OK",
                                  "getElementById",
                                  "0xDEADBEEF",
                                  ":-)"}) {
        EXPECT_EQ(Auto(text), text) << text;
        EXPECT_EQ(Chosen(text), ReadingKind::kAsIs) << text;
    }
}

TEST_F(DetectTest, LongTextsDecideOnTheWhole) {
    std::string russian, english;
    for (int i = 0; i < 200; ++i) {
        russian += "Съешь же ещё этих мягких французских булок, да выпей чаю. ";
        english += "Pack my box with five dozen liquor jugs, then sleep. ";
    }
    EXPECT_EQ(Auto(russian), russian);
    EXPECT_EQ(Auto(english), english);
    EXPECT_EQ(Auto(Garble(russian, std::nullopt, Charset::kWindows1251)), russian);
    EXPECT_EQ(Auto(Garble(russian, Charset::kKoi8R, Charset::kWindows1251)), russian);
    EXPECT_EQ(Auto(U8(SwapLayout(U16(english), true))), english);
    // A Russian text with one word in English stays as it is.
    EXPECT_EQ(Auto(russian + "Linux"), russian + "Linux");
}

TEST_F(DetectTest, ReadingsAreDistinctAndOrdered) {
    const auto readings = ListReadings(U16("РџСЂРёРІРµС‚"));
    ASSERT_GE(readings.size(), 2u);
    EXPECT_EQ(readings[0].kind, ReadingKind::kUtf8AsCp1251);
    EXPECT_EQ(readings[0].text, u"Привет");
    for (std::size_t i = 2; i < readings.size(); ++i) {
        EXPECT_GE(readings[i - 1].score, readings[i].score);
    }
    for (std::size_t i = 0; i < readings.size(); ++i) {
        EXPECT_LE(readings[i].score, 0.0);
        for (std::size_t k = 0; k < i; ++k) EXPECT_NE(readings[i].kind, readings[k].kind);
    }
    // Only the text as it is for a text no reading changes.
    const auto digits = ListReadings(u"12345");
    ASSERT_EQ(digits.size(), 1u);
    EXPECT_EQ(digits[0].kind, ReadingKind::kAsIs);
    ASSERT_EQ(ListReadings(u"").size(), 1u);
    // The text ends at its first NUL, as on the clipboard.
    EXPECT_EQ(ListReadings(Terminated("ghbdtn") + u"garbage").front().text, u"привет");
}

TEST_F(DetectTest, ConvertWithReadingKeepsTheTerminatorAndTheEnds) {
    const std::u16string garbled = Terminated("  РџСЂРёРІРµС‚  ");
    const auto readings = ListReadings(garbled);
    ASSERT_EQ(readings[0].kind, ReadingKind::kUtf8AsCp1251);
    std::u16string text = garbled;
    ConvertWithReading(readings[0], kTranslit, text);
    EXPECT_EQ(text.substr(0, text.find(u'\0')), u"  Privet  ");
    // Every listed reading converts without failing; the text as it is gives the text back.
    for (const Reading& r : readings) {
        std::u16string t = garbled;
        ConvertWithReading(r, kUnicode, t);
        if (r.kind == ReadingKind::kAsIs) {
            EXPECT_EQ(t, garbled);
        }
    }
}

TEST_F(DetectTest, CostsFollowTheModel) {
    EXPECT_EQ(TextCost(u""), 0.0);
    EXPECT_LT(TextCost(u"привет"), TextCost(u"ghbdtn"));
    EXPECT_LT(TextCost(u"hello"), TextCost(u"руддщ"));
    EXPECT_LT(TextCost(u"Привет"), TextCost(u"пРИВЕТ"));  // odd capitals cost
    EXPECT_LT(TextCost(u"привет мир"), TextCost(u"привет╚мир"));
    EXPECT_LT(TextCost(u"Tekst"), TextCost(u"Teкст"));  // scripts mixed in one word
}

// The code pages are Windows' own (866 and the Windows ones) and the standard ones, every byte
// defined, CP 1252 also taking text held one character a byte.
TEST_F(DetectTest, EveryCodePageRoundTripsAndHasItsOwnCharacters) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    for (int c = 0; c < kCharsets; ++c) {
        const auto set = static_cast<Charset>(c);
        EXPECT_EQ(EncodeCharset(set, DecodeCharset(set, all)), all) << c;
    }
    EXPECT_EQ(CharsetChar(Charset::kCp866, 0xFC), u'№');
    EXPECT_EQ(CharsetChar(Charset::kCp866, 0xFF), u'\u00A0');
    EXPECT_EQ(CharsetChar(Charset::kCp437, 0xE0), u'α');
    EXPECT_EQ(CharsetChar(Charset::kKoi8U, 0xA4), u'є');
    EXPECT_EQ(CharsetChar(Charset::kKoi8R, 0xA4), u'╓');
    EXPECT_EQ(CharsetChar(Charset::kMacCyrillic, 0x8F), u'П');
    EXPECT_EQ(CharsetChar(Charset::kIso88595, 0xF0), u'№');
    EXPECT_EQ(CharsetChar(Charset::kWindows1251, 0x85), u'…');
    EXPECT_EQ(EncodeCharset(Charset::kWindows1252, u"\u0085€"), "\x85\x80");
}

TEST_F(DetectTest, ConsoleDosMacAndIsoMixUpsComeBack) {
    const std::string text = "Привет, как дела? Всё хорошо.";
    const struct {
        std::optional<Charset> real;
        Charset shown;
        ReadingKind kind;
    } cases[] = {
        {std::nullopt, Charset::kCp866, ReadingKind::kUtf8AsCp866},
        {Charset::kCp866, Charset::kWindows1251, ReadingKind::kCp866AsCp1251},
        {Charset::kWindows1251, Charset::kCp866, ReadingKind::kCp1251AsCp866},
        {Charset::kCp866, Charset::kCp437, ReadingKind::kCp866AsCp437},
        {Charset::kMacCyrillic, Charset::kWindows1251, ReadingKind::kMacCyrillicAsCp1251},
        {Charset::kIso88595, Charset::kWindows1251, ReadingKind::kIso88595AsCp1251},
    };
    for (const auto& c : cases) {
        const std::string garbled = Garble(text, c.real, c.shown);
        EXPECT_EQ(Auto(garbled), text) << garbled;
        EXPECT_EQ(Chosen(garbled), c.kind) << garbled;
    }
    // The single words of the issue that asked for them.
    for (std::string_view word : {"╨Я╤А╨╕╨▓╨╡╤В", "ЏаЁўҐв", "╧ЁштхЄ", "Åα¿óÑΓ"}) {
        EXPECT_EQ(Auto(word), "Привет") << word;
    }
    // MacCyrillic turns the capital that begins a sentence into a dash or a quote, which the
    // letter model finds about as likely; giving a letter back for it, it needs no more than its
    // share. A good text's «Я», which it makes «я», is no such letter.
    for (std::string_view sentence : {"Чтобы создать", "Далее вам предложат выбрать"}) {
        const std::string garbled = Mac(sentence);
        EXPECT_EQ(Auto(garbled), sentence) << garbled;
    }
    for (std::string_view good : {"Ядро", "Я помню исходную"}) EXPECT_EQ(Auto(good), good);
    // Its capitals С Т У Ф Д В are the quotes ‘ ’ “ ” „ ‚ of CP 1251: a closing quote run into
    // a word, an English opening quote before a Russian one and a quote that opens nothing are
    // out of their place. Quotes where they belong are left alone.
    for (std::string_view sentence : {"Так", "Фрагменты конфигурации,", "Убедитесь, что создали,",
                                      "Сначала вам", "В этом случае", "Данные части могут"}) {
        const std::string garbled = Mac(sentence);
        EXPECT_EQ(Auto(garbled), sentence) << garbled;
    }
    for (std::string_view good : {"He said “hello” and don’t", "‘Hello’ and “goodbye”",
                                  "Он сказал „привет“ и ушёл", "Нажмите “Далее”", "это ‘так’ и"}) {
        EXPECT_EQ(Auto(good), good);
    }
    // Its guillemets are CP 1251's «З» and «И»: letters that it may take away for them.
    const std::string quoted = "невозможно печатать «только» более";
    EXPECT_EQ(Auto(Mac(quoted)), quoted) << Mac(quoted);
    ExpectLeftAlone({"Зима И лето", "Знание И сила"});
    // A MacCyrillic sentence run on after a good one is broken only at its capital: the mark
    // that stands for it, where it makes a word, is repaired wherever it stands. Quotes and
    // dashes run into a good text's words make none.
    ExpectRepaired(
        {{"…сли драйвер устройства Также возможна", "Если драйвер устройства Также возможна"},
         {"Заметим, что даже\n…сли нужна", "Заметим, что даже\nЕсли нужна"},
         {"как в ’акже, есть", "как в Также, есть"}});
    ExpectLeftAlone({"Он сказал: “слово” и —как всегда… ушёл", "Текст „ля проверки“ и всё"});
}

TEST_F(DetectTest, MacCyrillicDashesStandingAloneComeBackWhereTheRestShowsIt) {
    // MacCyrillic's dashes are CP 1251's «С» and «Р»: a letter standing alone, which the text as
    // MacCyrillic gives up where its other words gain it back («длЯ»); not a letter within a word,
    // nor a good text's «С».
    for (std::string_view text :
         {"— это команда для сборки", "Debian — это свободная операционная система"}) {
        const std::string garbled = Mac(text);
        EXPECT_EQ(Auto(garbled), text) << garbled;
    }
    ExpectLeftAlone({"С помощью этой команды", "Я сказал: С ним не спорь"});
    ExpectRepaired({{"LХDE", "LXDE"}, {"IР", "IP"}});  // look-alikes, no quote or dash
}

// Where nothing else shows MacCyrillic, a dash between words in small letters still does: no
// Russian writes a capital «С» alone there. Its quotes “” take the place of letters (CP 1251's «Т»,
// «У») as its guillemets do.
TEST_F(DetectTest, MacCyrillicDashesAmidWordsAndItsQuotesComeBack) {
    for (std::string_view text : {"первое поле — это номер", "программы из каталога — каждый день;",
                                  "превратить его в “физический том для шифрования” (для"}) {
        const std::string garbled = Mac(text);
        EXPECT_EQ(Auto(garbled), text) << garbled;
    }
    ExpectLeftAlone({"в стиле С для", "Он сказал: С ним не спорь", "С раз в час"});
}

// A capital run into small letters makes no Russian word, garbled or not: «domU» (Xen's) is no
// Translit, and a heading run into the number of the next («сотрудничествоA.2.») keeps its Latin
// letter. Words run together are still read («paketovDostup», a table of contents).
TEST_F(DetectTest, ACapitalRunIntoSmallLettersIsNoRussianWord) {
    ExpectLeftAlone(
        {"domU", "что конфигурация сети domU", "A.1. Перепись и сотрудничествоA.2. Ubuntu"});
    ExpectRepaired({{"Пpивет", "Привет"},
                    {"PоstgreSQL", "PostgreSQL"},
                    {"Upravlenie spiskom paketovDostup k", "Управление списком пакетовДоступ к"},
                    {"Poisk i versiiIAvnye tseli", "Поиск и версииЯвные цели"},
                    {"Using thе menusМenu", "Using the menusMenu"},
                    {"SteamОS", "SteamOS"}});
}

// UTF-8 read as a code page, saved as UTF-8 and read again: the second reading is tried only on
// what the first gave.
TEST_F(DetectTest, DoubleMojibakeComesBack) {
    const std::string text = "Ошибка при чтении файла «отчёт.txt»: нет доступа";
    for (const auto& [shown, kind] :
         {std::pair{Charset::kWindows1251, ReadingKind::kUtf8AsCp1251Twice},
          std::pair{Charset::kWindows1252, ReadingKind::kUtf8AsCp1252Twice},
          std::pair{Charset::kKoi8R, ReadingKind::kUtf8AsKoi8RTwice}}) {
        const std::string twice = Garble(Garble(text, std::nullopt, shown), std::nullopt, shown);
        EXPECT_EQ(Auto(twice), text) << twice;
        EXPECT_EQ(Chosen(twice), kind) << twice;
    }
    // As the issue shows it, its no-break spaces (0xA0 of CP 1251) kept.
    EXPECT_EQ(Auto("Р\u00A0СџРЎР‚Р\u00A0С‘Р\u00A0Р†Р\u00A0ВµРЎвЂљ"), "Привет");
    // ASCII words read as themselves, whole or in pieces (they once left the text as it was).
    const std::string ascii = "Установка LVM 2.4.1 на диск";
    const std::string twice = Garble(Garble(ascii, std::nullopt, Charset::kWindows1251),
                                     std::nullopt, Charset::kWindows1251);
    EXPECT_EQ(Auto(twice), ascii);
    EXPECT_EQ(Auto("Всё хорошо.\n" + twice), "Всё хорошо.\n" + ascii);
}

// Ukrainian letters count as the Russian letters nearest them, so a KOI8-U text does not read as
// KOI8-R's box drawing.
TEST_F(DetectTest, Koi8UComesBackWithItsUkrainianLetters) {
    const std::string text = "Встановлює відсутні пакунки, змінює їхні налаштування";
    EXPECT_EQ(Auto(text), text);
    EXPECT_EQ(Auto(Garble(text, Charset::kKoi8U, Charset::kWindows1251)), text);
    EXPECT_EQ(Chosen(Garble(text, Charset::kKoi8U, Charset::kWindows1251)),
              ReadingKind::kKoi8UAsCp1251);
    EXPECT_EQ(Auto(Garble(text, Charset::kKoi8U, Charset::kWindows1252)), text);
    // Where the Ukrainian letters are words of their own, their short words tell KOI8-U from KOI8-R
    // (whose box drawing «╓», «╕» stands in their place).
    for (std::string_view words : {"не є звичайним файлом", "завантажити і показати журнал",
                                   "Ця команда є", "те саме, що і програма"}) {
        EXPECT_EQ(Auto(Garble(words, Charset::kKoi8U, Charset::kWindows1251)), words);
        EXPECT_EQ(Auto(Garble(words, Charset::kKoi8U, Charset::kWindows1252)), words);
        EXPECT_EQ(Auto(words), words);
    }
}

// Under Auto a byte mix-up gives back the whole text, punctuation included; the KOI8 and CP 1251
// sources still convert the letters alone.
TEST_F(DetectTest, ByteMixUpsDecodeTheWholeCodePage) {
    const std::string text = "Установка — «Игра №5» … “готово” PLAYING…";
    const std::string held = Garble(text, Charset::kWindows1251, Charset::kWindows1252);
    EXPECT_EQ(Auto(held), text);
    EXPECT_EQ(Chosen(held), ReadingKind::kCp1251Bytes);
    // Held one character a byte: the ellipsis is the control character U+0085.
    const std::string bytes = *EncodeCharset(Charset::kWindows1251, U16(text));
    std::u16string held16;
    for (const char b : bytes) held16 += static_cast<char16_t>(static_cast<unsigned char>(b));
    const std::string latin1 = U8(held16);
    EXPECT_EQ(Auto(latin1), text);
    std::u16string source = Terminated(latin1);
    ConvertText(kCp1251, kUnicode, source);
    EXPECT_EQ(source.substr(0, source.find(u'\0')).back(), u'\u0085');
    EXPECT_EQ(Auto(Garble("Привет — мир…", Charset::kWindows1251, Charset::kKoi8R)),
              "Привет — мир…");
}

TEST_F(DetectTest, LookAlikeLettersAreRepaired) {
    EXPECT_EQ(Auto("Привeт"), "Привет");  // a Latin e
    EXPECT_EQ(Auto("yмерли"), "умерли");  // a Latin y
    EXPECT_EQ(Chosen("yмерли"), ReadingKind::kLatinLookAlikes);
    EXPECT_EQ(Auto("Hellо wоrld"), "Hello world");  // Cyrillic о
    EXPECT_EQ(Chosen("Hellо wоrld"), ReadingKind::kCyrillicLookAlikes);
    // One such word in a long text is repaired by a reading of the whole text.
    std::string russian;
    for (int i = 0; i < 50; ++i)
        russian += "Съешь же ещё этих мягких французских булок, да выпей чаю. ";
    const auto readings = ListReadings(U16(russian + "Cпасибо."));
    EXPECT_EQ(readings.front().kind, ReadingKind::kLatinLookAlikes);
    EXPECT_EQ(U8(readings.front().text), russian + "Спасибо.");
    // Initials run into a word of the other script go with it.
    EXPECT_EQ(
        Auto("Никтo нaс тaк быстро не разочаровывает.\n\t\t-- А.M. Кашпировский, B.Колечицкий"),
        "Никто нас так быстро не разочаровывает.\n\t\t-- А.М. Кашпировский, В.Колечицкий");
    // A word in parts goes to the script of its part of one script: «Tо-то» with a Latin T is
    // «То-то», not «To-то».
    EXPECT_EQ(Auto("Развяжи Tо-то"), "Развяжи То-то");
    // Words of both scripts whose letters are not all look-alikes stay as they are.
    for (std::string_view text : {"Qt-приложение", "USBфлешка подключена", "ПРИВЕТ LOL",
                                  "%sу файлів", "символ \\xНН", "--CТИП=СФМТ"}) {
        EXPECT_EQ(Auto(text), text) << text;
    }
}

// A text garbled in parts: each part gets its own reading, the good ones are left as they are,
// and the readings of the whole text follow the reading in pieces.
TEST_F(DetectTest, PartlyGarbledTextsComeBackInPieces) {
    const std::string good = "Привет, мир! Как дела?";
    const std::string text = good + "\n" +
                             Garble("Всё хорошо, спасибо.", std::nullopt, Charset::kWindows1251) +
                             "\n" + U8(SwapLayout(u"До встречи завтра.", false));
    const auto readings = ListReadings(U16(text));
    ASSERT_EQ(readings.front().kind, ReadingKind::kPieces);
    EXPECT_EQ(U8(readings.front().text), good + "\nВсё хорошо, спасибо.\nДо встречи завтра.");
    const auto& pieces = readings.front().pieces;
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].kind, ReadingKind::kAsIs);
    EXPECT_EQ(pieces[1].kind, ReadingKind::kUtf8AsCp1251);
    EXPECT_EQ(pieces[2].kind, ReadingKind::kRussianOnEnglishKeys);
    EXPECT_EQ(pieces[1].firstLine, 2u);
    EXPECT_EQ(pieces[2].lastLine, 3u);
    EXPECT_EQ(ReadingName(readings.front()),
              "in pieces: as it is, UTF-8 read as CP 1251, Russian typed on the English layout");
    EXPECT_EQ(std::count_if(readings.begin(), readings.end(),
                            [](const Reading& r) { return r.kind == ReadingKind::kAsIs; }),
              1);
    // Within a line too, and into another format.
    const std::string inLine =
        "Файл не найден: " + Garble("ошибка чтения диска", Charset::kKoi8R, Charset::kWindows1251);
    EXPECT_EQ(Auto(inLine), "Файл не найден: ошибка чтения диска");
    // A word typed on the other layout after a good one as before it.
    EXPECT_EQ(Auto("Проинициализируйте cgbcrt"), "Проинициализируйте списке");
    EXPECT_EQ(Auto("cgbcrt Проинициализируйте"), "списке Проинициализируйте");
    std::u16string koi = Terminated(inLine);
    ConvertAuto(kTranslit, koi);
    EXPECT_EQ(koi.substr(0, koi.find(u'\0')), u"Fail ne naiden: oshibka chteniia diska");
    // A byte mix-up read into a good line does not make its capital a dash (MacCyrillic's «С» is
    // «—»): MacCyrillic keeps every letter in pieces too.
    const std::string withCapital = "С помощью этого";
    const std::string koi8 = Garble("Присвоение этому", Charset::kKoi8R, Charset::kWindows1251);
    EXPECT_EQ(Auto(withCapital + "\n" + koi8), withCapital + "\nПрисвоение этому");
    // An abbreviation beside a piece of KOI8-R and CP 1251 read as each other stays where its
    // reading is no word («ОС» is no «пу»), either side; one it reads into a word goes with it.
    const std::string said = "описал много новых возможностей";
    const std::string saidGarbled = Garble(said, Charset::kWindows1251, Charset::kKoi8R);
    EXPECT_EQ(Auto("При установке ОС " + saidGarbled), "При установке ОС " + said);
    EXPECT_EQ(Auto(saidGarbled + " ОС при установке"), said + " ОС при установке");
    EXPECT_EQ(Auto("При установке " + Garble("да " + said, Charset::kWindows1251, Charset::kKoi8R)),
              "При установке да " + said);
    // A part the whole text's reading explains as well (ASCII, which UTF-8 leaves alone) keeps it
    // whole.
    const std::string ascii = Garble("Привет, мир!", std::nullopt, Charset::kWindows1251) +
                              "\nversion 2.4.1 (build 2026-12-08), see https://example.org";
    EXPECT_EQ(Chosen(ascii), ReadingKind::kUtf8AsCp1251);
}

// A garbled stretch leaves junk (accented letters, box drawing), which the letter model charges
// no more than a letter: the junk word at its edge («×» for «в», «É» for «и») once stayed as it
// was, and so did short garbled words beside good ones. Good texts keep their own symbols.
TEST_F(DetectTest, JunkATextHoldsCountsForTheReadingThatTakesItAway) {
    const auto koi8 = [](std::string_view text) {
        return Garble(text, Charset::kKoi8R, Charset::kWindows1252);
    };
    EXPECT_EQ(Auto("Не удалось разобрать " + koi8("в каталог базы данных")),
              "Не удалось разобрать в каталог базы данных");
    EXPECT_EQ(Auto(koi8("чтобы перейти в главное меню, и") + " Таким образом"),
              "чтобы перейти в главное меню, и Таким образом");
    const std::string cp1251 = Garble("Тем", Charset::kWindows1251, Charset::kWindows1252);
    EXPECT_EQ(Auto(cp1251), "Тем");
    EXPECT_EQ(Auto("Избегайте " + cp1251), "Избегайте Тем");
    EXPECT_EQ(Auto(Garble("Ваша", Charset::kWindows1251, Charset::kWindows1252) + " Выбрать"),
              "Ваша Выбрать");
    for (std::string_view good : {"Müller", "Привет, José!", "Hello world ¬", "Dušan", "2 × 3",
                                  "© 2024 Иван", "Файл [Enter]", "[options]"}) {
        EXPECT_EQ(Auto(good), good);
    }
}

// MacCyrillic's capitals К М Н О П are letters of Serbian and Macedonian in CP 1251 («Њогут»,
// «Ћсновным»), which a Russian word never holds: run into one they cost as a change of script.
// The garbled stretch before a good word with a capital, which MacCyrillic would spoil, was left
// as it was. Accented Latin letters beside Latin ones, Ukrainian and Belarusian letters, and
// Serbian words of small letters stay as they are.
TEST_F(DetectTest, ForeignLettersInRussianWordsAreGarbled) {
    EXPECT_EQ(Auto(Mac("На следующем экране вы увидите") + " Далее отформатирует разделы"),
              "На следующем экране вы увидите Далее отформатирует разделы");
    EXPECT_EQ(Auto(Mac("Могут быть автоматически настроены пароль суперпользователя") +
                   " вы должны увидеть все созданные логические тома, как обычные разделы"),
              "Могут быть автоматически настроены пароль суперпользователя вы должны увидеть все "
              "созданные логические тома, как обычные разделы");
    for (std::string_view good :
         {"Müller", "Dušan Ćirić", "Привет, José!", "праўда і воля", "Прывітанне, як справы ў цябе",
          "Ґанок", "crème brûlée", "Ово је његова књига, а она чита њу сваког дана.",
          "Приватни подаци се неће објављивати."}) {
        EXPECT_EQ(Auto(good), good);
    }
}

// MacCyrillic's «я» and «ё» are CP 1251's «Я» and «Ю», left at the end of small-letter words
// («длЯ», «конечнаЯ»), which once cost too little to begin a stretch of MacCyrillic in a line.
// Units and abbreviations that end in a capital of their own stay as they are.
TEST_F(DetectTest, ACapitalYaEndingASmallLetterWordIsGarbled) {
    EXPECT_EQ(Auto(Mac("для очистки") + " Пропускается распаковка уже распакованного"),
              "для очистки Пропускается распаковка уже распакованного");
    EXPECT_EQ(Auto("Нельзя использовать " + Mac("конечная последовательность")),
              "Нельзя использовать конечная последовательность");
    for (std::string_view good : {"мкВ", "10 мкФ", "кВ", "МиГ", "ИнфоТВ", "МойОфис", "ЯндексДеньги",
                                  "LaTeX", "iOS", "Я помню исходную"}) {
        EXPECT_EQ(Auto(good), good);
    }
}

// A word of the word lists counts for the reading that gives it: single words that the letter
// model found as likely in English (Translit) or under another code page, a one-letter-short
// word in a line («удалЮн»). Words run together through another character are no words, nor are
// short abbreviations or words of odd case, which other readings made words of («ВЕН», «сыТ»).
TEST_F(DetectTest, KnownWordsTellReadingsApart) {
    for (const auto& [text, expected] :
         {std::pair{"budut", "будут"},
          {"dlina", "длина"},
          {"spiske", "списке"},
          {"problemy", "проблемы"},
          {"Propusk", "Пропуск"},
          {"Disрlay", "Display"},
          {"hexаdecimal", "hexadecimal"},
          {"Файл не найден. если он был удалЮн", "Файл не найден. если он был удалён"}}) {
        EXPECT_EQ(Auto(text), expected) << text;
    }
    for (std::string_view word : {"будет", "сервер", "пропуск"}) {
        EXPECT_EQ(Auto(Garble(word, Charset::kKoi8R, Charset::kWindows1251)), word);
        EXPECT_EQ(Auto(Garble(word, Charset::kWindows1251, Charset::kKoi8R)), word);
    }
    for (std::string_view good : {"csN", "JIT", "Откройте VEN_ и DEV_ в свойствах"}) {
        EXPECT_EQ(Auto(good), good);
    }
    // A known word whose letters cost less than the bonus is still no likelier than one in two.
    for (std::u16string_view word : {u"for", u"the", u"что", u"как"}) {
        for (const Reading& r : ListReadings(word)) EXPECT_LT(r.score, 0) << U8(word);
    }
}

// Words of one and two letters are words of the lists too, for less: the common ones come back,
// also where a garbled run ends in one («d» for «в»), and the lists' abbreviations (no vowel) and
// capitalised symbols («Na» for sodium) are no words.
TEST_F(DetectTest, ShortWordsAreKnown) {
    ExpectRepaired({{"Na", "На"},
                    {"Po", "По"},
                    {"Iz", "Из"},
                    {"Ne", "Не"},
                    {"Фы", "As"},
                    {"Na stole", "На столе"},
                    {"Gjckt djpdhfotybz d При установке", "После возвращения в При установке"}});
    ExpectLeftAlone({"in", "it", "on", "to", "no", "so", "go", "my", "by", "at", "as", "an", "на",
                     "не", "по", "из", "мы", "он", "да", "cd", "fc", "a",  "I",  "o",  "в",  "я"});
}

// An apostrophe that ends a word is Translit's soft sign, unless English puts it there: after a
// plural («users'»), closing a quote, inside a word.
TEST_F(DetectTest, AnApostropheEndingAWordIsASoftSign) {
    ExpectRepaired({{"est'", "есть"}, {"den'", "день"}});
    ExpectLeftAlone(
        {"users'", "'word'", "don't", "rock'n'roll", "goin'", "the users' files", "it's 'done'"});
}

// A small letter before four capitals or more is what KOI8-R and CP 1251 make of each other's
// capitalised words: one such word comes back beside a good one, on either side. A good word of
// that shape keeps it.
TEST_F(DetectTest, ASmallLetterBeforeCapitalsIsACapitalisedWordGarbled) {
    const std::string manager = Garble("Менеджер", Charset::kWindows1251, Charset::kKoi8R);
    const std::string also = Garble("Также", Charset::kWindows1251, Charset::kKoi8R);
    ASSERT_EQ(manager, "лЕМЕДФЕП");
    ExpectRepaired(
        {{manager + " том", "Менеджер том"},
         {also + " процессе", "Также процессе"},
         {"Откройте " + also, "Откройте Также"},
         {Garble("Менеджер", Charset::kKoi8R, Charset::kWindows1251) + " том", "Менеджер том"}});
    ExpectLeftAlone({"пРИВЕТ мир", "iPHONE", "mRNA", "dBASE"});
}

// So is a short word of that shape, alone or beside good ones («мЕ» is «Не», «лБЛ» «Как»); a unit
// of it that the mix-ups read as no word of the lists stays («мА» is no «Лю»), as Latin names do.
// Where a garbled line begins with a short name or word so garbled, the line comes back whole.
TEST_F(DetectTest, AShortWordOfASmallLetterBeforeCapitalsIsGarbledToo) {
    const auto garbled = [](std::string_view text) {
        return Garble(text, Charset::kKoi8R, Charset::kWindows1251);
    };
    ExpectRepaired({{"Установка завершена\n" + garbled("Дж. Смит написал эту программу"),
                     "Установка завершена\nДж. Смит написал эту программу"},
                    {"Установка завершена\n" + garbled("Хм, это интересно"),
                     "Установка завершена\nХм, это интересно"}});
    ExpectRepaired({{"мЕ", "Не"},
                    {"уМЕД или", "След или"},
                    {"Загружает лБЛ", "Загружает Как"},
                    {"Отклонить\nмЕ", "Отклонить\nНе"}});
    ExpectLeftAlone({"мА", "мВ", "кВА", "ток 5 мА", "pH", "iOS", "eBPF", "значение pH раствора",
                     "Включите iPXE"});
}

// A word of two to four capitals alone is an abbreviation, which Translit and the layouts would
// only make another one of («XFCE» was «ЧАСУ», «GNU» «ГНУ»), and a letter alone tells nothing of
// how it was typed («z» was «я»); longer words in capitals still come back.
TEST_F(DetectTest, ALoneAbbreviationStays) {
    ExpectLeftAlone({"XFCE", "GNU", "KDE", "LVM", "ВУЗ", "СССР", " XFCE\n", "j", "k", "z",
                     "DTK2000", "PNM/PBM/PGM/PPM", "A4", "NT_GNU_PROPERTY_TYPE_0"});
    ExpectRepaired({{"ДШТГЧ", "LINUX"}, {"GHBDTN", "ПРИВЕТ"}});
}

// KOI8-R and CP 1251 read as each other make a small word capitals: a Russian abbreviation or unit
// read so must give a word of the lists («ТБ» is no garbled «ра»); a garbled word still does.
TEST_F(DetectTest, AUnitInCapitalsIsNoByteMixUp) {
    ExpectLeftAlone({"ТБ", "%.1f ТБ", "Свободно: %s ТБ"});
    ExpectRepaired({{"МЮ", "на"}, {"ЛБЛ", "как"}, {"БЯ╦", "всё"}});
}

// But English abbreviations typed on the Russian layout give letters that seldom begin a Russian
// word («Ы», «Ь», «Щ»), or an English word: they are read back. Russian words in capitals, Russian
// abbreviations and Latin capitals (Roman numerals among them) stay.
TEST_F(DetectTest, AnAbbreviationTypedOnTheRussianLayoutComesBack) {
    ExpectRepaired({{"ЕШЬУ", "TIME"},
                    {"ГЫИ", "USB"},
                    {"ЩЫ", "OS"},
                    {"ДМЬ", "LVM"},
                    {"ДШТУ", "LINE"},
                    {"ГЫУК\n", "USER\n"}});
    ExpectLeftAlone({"ВЫ", "МЫ", "ТЫ", "ЧАСУ", "ЕС", "США", "ЦСКА", "ЭВМ", "ВИЧ", "ЯМР", "АЦП",
                     "XX", "XIX", "JJ", "ZFS"});
}

// But capitals standing alone among digits and marks tell nothing of how they were typed, as a
// letter alone does not: such a code stays. Nor does any reading take every letter of a text
// away («Ф-Ф» is no «”-”» of CP 1251 shown as 866).
TEST_F(DetectTest, LettersStandingAloneInACodeStay) {
    ExpectRepaired({{"ФИС2000", "ABC2000"}, {"ЗТЬ.ЗИЬ.ЗПЬ", "PNM/PBM/PGM"}});
    ExpectLeftAlone({"4+6+Й4+6+Й+6+", "Ф-Ф", "Ф-1", "Й4", "\nЙЇЕФ"});
}

// A word copied with its line (and its line break) is still one word: «Problem» stays English.
TEST_F(DetectTest, OneWordWithWhiteSpaceAroundIsOneWord) {
    ExpectLeftAlone({"Problem\n", " Problem ", "\tproblem\r\n"});
}

// Junk that a reading takes away counts for it, but ASCII symbols standing alone are no junk of a
// garbled text: a line of «#» beside Translit once came back as «№» from the keyboard layout.
TEST_F(DetectTest, AsciiSymbolsStandingAloneStay) {
    const std::string line(70, '#');
    EXPECT_EQ(Auto(line + "\nia vizhu tebia."), line + "\nя вижу тебя.");
    EXPECT_EQ(Auto("Настройка сети\n" + line + "\n# /etc/network/interfaces"),
              "Настройка сети\n" + line + "\n# /etc/network/interfaces");
}

// A long text typed on the other layout whose original had a bracket or two: the keys give them
// back, and the text comes back whole (it was left as it was).
TEST_F(DetectTest, ALongTextOnTheOtherLayoutGetsItsBracketsBack) {
    const std::u16string english =
        u"The installer asks a few questions and then installs the system. Choose the language, "
        u"the country and the keyboard, then the network. Run it with [options] to change what "
        u"it asks. The partitioner shows every disk and lets you choose how each is used. When "
        u"the base system is installed, choose the software to add and the boot loader.";
    EXPECT_EQ(Auto(U8(SwapLayout(english, true))), U8(english));
}

// A reading that adds characters no Russian or English text has is never used, whatever the
// model makes of them: CP 1251 shown as 866 once came back from the keyboard layout as «`.n[Єє[m».
TEST_F(DetectTest, NoReadingMakesATextWorse) {
    for (std::string_view text :
         {"С помощью этой программы", "И наконец, всё", "В этом году", "Ё-моё", "Я иду домой"}) {
        EXPECT_EQ(Auto(text), text) << text;
    }
    // Nor a text of no letter of either alphabet: KOI8's «её» shown as Latin-1 is no «ţ», which
    // UTF-8 read as CP 1252 makes of it.
    EXPECT_NE(Auto("Å£"), "ţ");
    EXPECT_EQ(Auto(Garble("её", std::nullopt, Charset::kKoi8R)), "её");
    EXPECT_EQ(Auto(Garble("её", Charset::kKoi8R, Charset::kWindows1251)), "её");
    const auto garbled =
        Garble("Привет, как дела? Всё хорошо.", Charset::kWindows1251, Charset::kCp437);
    const auto readings = ListReadings(U16(garbled));
    EXPECT_EQ(readings.front().kind, ReadingKind::kAsIs);  // no reading knows it: left alone
}

// ConvertAuto's readings hold no text; they convert all the same.
TEST_F(DetectTest, ConvertAutoReadingsConvertLikeListReadings) {
    const std::u16string text =
        Terminated("Привет\n" + Garble("Всё хорошо", std::nullopt, Charset::kKoi8R));
    std::u16string converted = text;
    const auto fromAuto = ConvertAuto(kUnicode, converted);
    const auto listed = ListReadings(text);
    ASSERT_EQ(fromAuto.size(), listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(fromAuto[i].kind, listed[i].kind);
        EXPECT_TRUE(fromAuto[i].text.empty());
        std::u16string a = text, b = text;
        ConvertWithReading(fromAuto[i], kKoi8, a);
        ConvertWithReading(listed[i], kKoi8, b);
        EXPECT_EQ(a, b) << i;
    }
    EXPECT_EQ(converted, Terminated("Привет\nВсё хорошо"));
}

// A word that falls far behind under one reading is not read to its end there; the next reading
// of the same word starts afresh (it once inherited the unfinished word, and so did the next word
// of Translit).
TEST_F(DetectTest, AWordFarBehindUnderOneReadingLeavesTheOthersAlone) {
    EXPECT_EQ(Auto("(штвузутвуте"), "(independent");
    EXPECT_EQ(Auto("(штвузутвуте ща рфмштп иуут ьфву)"), "(independent of having been made)");
    // Scored whole before it is used, a bound never lets a reading win that would not.
    for (const Reading& r : ListReadings(u"(штвузутвуте")) EXPECT_LE(r.score, 0.0);
}

// A lone Latin word among Russian ones that Translit reads into a word of the lists is read so
// only where it is no English word of the lists as it is: «make» after «Установите» had come back
// «маке» (a form of «мак»), and the program's name before it «гит» with it.
TEST_F(DetectTest, ALoneEnglishWordOfTheListsInARussianTextStays) {
    ExpectLeftAlone({"Установите git и make", "Установите make", "Запустите make install"});
    ExpectRepaired({{"Нажмите knopku", "Нажмите кнопку"}, {"Откройте papku", "Откройте папку"}});
}

// A text written in Translit whose last word reads as English too («bag») is read whole, where
// the whole text's reading explains it at least as well as the pieces that left the word as it
// was; a text in pieces that no reading of the whole explains as well stays in pieces.
TEST_F(DetectTest, TheWholeTextsReadingBeatsPiecesThatExplainItNoBetter) {
    ExpectRepaired({{"Opishite, kak vossozdat' etot bag", "Опишите, как воссоздать етот баг"}});
    EXPECT_EQ(Auto("Opishite, kak vossozdat' etu oshibku\nThe quick brown fox jumps over the dog"),
              "Опишите, как воссоздать ету ошибку\nThe quick brown fox jumps over the dog");
}

// Names of people and places are words too, though no dictionary has them: a garbled name comes
// back alone and within a text. Not for Translit: a Russian text that quotes a name in Latin
// letters wrote it so («Мирослав Куре (Miroslav Kuře)», above), and a name in Latin letters is as
// often one of its own language. The web's short pieces of words are none, and its forms that a
// dictionary rejects do not keep a mark from being the capital a word lost: «…сли» is «Если»,
// «‘ложить» is «Сложить».
TEST_F(DetectTest, NamesAreWordsToo) {
    ExpectRepaired({{Garble("Сэмюэл", Charset::kKoi8R, Charset::kWindows1251), "Сэмюэл"},
                    {Garble("Нильс", Charset::kKoi8R, Charset::kWindows1251), "Нильс"},
                    {Mac("Рэнди"), "Рэнди"},
                    {"Генерирует " + Mac("Ульрих"), "Генерирует Ульрих"},
                    {"…сли ваш компьютер", "Если ваш компьютер"},
                    {"‘ложить два\nАргумент соответствует опции настройки",
                     "Сложить два\nАргумент соответствует опции настройки"}});
    ExpectLeftAlone({"Для выяснения ответов можно использовать редактор nano", "Morten",
                     "Stefano Zacchiroli", "Milan Kundera"});
    // The web's words are looked up exactly: no word of the dictionary is taken for one of them
    // (a filter's false hit had made «мальчик» one, and Translit scored «mal'chik» as no word).
    for (const Reading& r : ListReadings(u"mal'chik")) {
        if (r.kind == ReadingKind::kTranslitText) {
            EXPECT_GE(r.score, -TextCost(u"мальчик"));
        }
    }
}

}  // namespace
}  // namespace litvorot
