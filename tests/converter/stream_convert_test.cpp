// The direct path against the whole-text path (ConvertInput): the same output bytes or the same
// refusal, whatever the pieces the input arrives in; and the held output, in memory and spilled.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "convert/modCodePage.h"
#include "converter/modConvertFile.h"
#include "converter/modConvertInput.h"
#include "converter/modInput.h"
#include "converter/modOutput.h"
#include "converter/modStreamConvert.h"

namespace litvorot {
namespace {

struct Result {
    bool ok = false;
    std::string bytes;  // the output, or the message of a refusal
    bool operator==(const Result&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Result& r) {
    return os << (r.ok ? "output " : "refused: ") << testing::PrintToString(r.bytes.substr(0, 120));
}

Result Whole(const ConvertOptions& options, const std::string& data) {
    std::u16string text;
    ByteBuffer out;
    std::string message;
    const auto output = ConvertInput(options, data, text, out, message);
    return output ? Result{true, std::string(*output)} : Result{false, message};
}

// Feeds `data` in pieces of the given sizes (the last one repeated), carrying what a piece leaves
// to the front of the next, as the converter's reading loop does.
Result Streamed(StreamConverter& stream, const std::string& data,
                const std::vector<std::size_t>& sizes) {
    stream.Reset();
    HeldOutput out(-1);
    std::string pending;
    std::size_t at = 0, turn = 0;
    for (;;) {
        const std::size_t size = sizes[std::min(turn++, sizes.size() - 1)];
        const std::size_t got = std::min(size, data.size() - at);
        pending.append(data, at, got);
        at += got;
        const bool last = got == 0;
        if (!stream.Settled()) pending.erase(0, stream.Feed(pending, last, out));
        if (last) break;
    }
    std::string message;
    if (!stream.Finish(message)) return {false, message};
    return {true, out.InMemory()};
}

// Pieces of text that reach every branch: Cyrillic of both code pages' letters, ASCII runs,
// spaces, NUL, characters of three and four bytes, Latin-1, malformed UTF-8 of several kinds.
std::string RandomText(std::mt19937& rng, std::size_t length, bool bad) {
    static const std::vector<std::string> good = {"a",
                                                  " ",
                                                  "   ",
                                                  "privet mir. ",
                                                  "\xd0\xb6",
                                                  "\xd1\x91",
                                                  "\xd0\x81",
                                                  "\xd0\xa9",
                                                  "\xd1\x8f",
                                                  "\xe2\x84\x96",
                                                  "\xe2\x80\x94",
                                                  "\xf0\x9f\x98\x80",
                                                  "\xc3\x81",
                                                  "\xc2\xab",
                                                  "\xd4\x80",
                                                  "\r\n",
                                                  "\xdf\xbf",
                                                  "\xef\xbf\xbf",
                                                  "\xd0\x90\xd0\x91\xd0\x92 "};
    static const std::vector<std::string> broken = {
        std::string(1, '\0'), "\xff",         "\x80",        "\xd0",
        "\xe2\x84",           "\xf0\x9f\x98", "\xc0\xaf",    "\xed\xa0\x80",
        "\xf4\x90\x80\x80",   "\xc1\xbf",     "\xe0\x80\xaf"};
    std::string text;
    while (text.size() < length) {
        if (bad && rng() % 40 == 0) {
            text += broken[rng() % broken.size()];
        } else {
            text += good[rng() % good.size()];
        }
    }
    return text;
}

// Every level of vector instructions the processor has, down to none: each block loop must give
// what the character loop gives.
std::vector<StreamConverter::Simd> SimdLevels() {
    using Simd = StreamConverter::Simd;
    std::vector<Simd> levels;
    for (const Simd level : {Simd::kNone, Simd::kAvx2, Simd::kAvx512}) {
        if (level <= StreamConverter::BestSimd()) levels.push_back(level);
    }
    return levels;
}

class StreamConvert : public testing::Test {
  protected:
    static void SetUpTestSuite() { BuildTables(); }
    void TearDown() override {
        SetAnsiCodePage(1252);
        StreamConverter::LimitSimd(StreamConverter::Simd::kAvx512);
    }

    // Every source this path takes, every destination, bytes or UTF-8 on both sides, both code
    // pages: the streamed result equals the whole one.
    static void ExpectSameEverywhere(const std::string& data, const std::vector<std::size_t>& sizes,
                                     std::initializer_list<TextFormat> sources = {kKoi8, kCp1251,
                                                                                  kUnicode}) {
        for (const int codePage : {1251, 1252}) {
            SetAnsiCodePage(codePage);
            for (const TextFormat from : sources) {
                for (TextFormat to = 1; to <= 4; ++to) {
                    for (int bytes = 0; bytes < 4; ++bytes) {
                        const ConvertOptions options{from, to, (bytes & 1) != 0, (bytes & 2) != 0};
                        const Result whole = Whole(options, data);
                        // The Translit reader has no block loops.
                        const auto levels = from == kTranslit
                                                ? std::vector{StreamConverter::Simd::kNone}
                                                : SimdLevels();
                        for (const auto level : levels) {
                            StreamConverter::LimitSimd(level);
                            StreamConverter stream(options);
                            ASSERT_EQ(Streamed(stream, data, sizes), whole)
                                << "code page " << codePage << ", " << from << " -> " << to
                                << ", bytes in/out " << bytes << ", vectors "
                                << static_cast<int>(level) << ", input "
                                << testing::PrintToString(data.substr(0, 80));
                        }
                    }
                }
            }
        }
    }
};

TEST_F(StreamConvert, RandomTextGivesWhatTheWholeTextGives) {
    std::mt19937 rng(16);
    for (int round = 0; round < 60; ++round) {
        const bool bad = round % 3 == 0;
        const std::string data = RandomText(rng, 1 + rng() % 3000, bad);
        const std::size_t piece = 1 + rng() % 700;
        ExpectSameEverywhere(data, {piece, 1 + rng() % 5, piece});
    }
}

TEST_F(StreamConvert, EdgesGiveWhatTheWholeTextGives) {
    const std::string cases[] = {
        "",
        " ",
        "   \xd0\xb6   ",
        std::string("\0", 1),
        std::string("ab\0\xff", 4),              // malformed behind the end of the clipboard text
        std::string("\xd0\xb6\0\xd0", 4),        // cut character behind it
        "\xd0",                                  // cut character at the very end
        "\xe2\x84\x96\xe2\x84",                  // cut three-byte character
        "\xf0\x9f\x98\x80 \xf0\x9f\x98",         // four-byte character, then a cut one
        "x\xe2\x80\x94y\xff",                    // no byte first, malformed later: malformed wins
        "\xd0\xb6\xd0\xb6\xd0\xb6\xd0\xb6\x80",  // stray continuation byte
        std::string(20, ' ') + "\xd0\xa9\xd0\xb8" + std::string(20, ' '),
    };
    for (const std::string& data : cases) {
        // Every piece size from one byte up, so each cut falls everywhere.
        for (std::size_t piece = 1; piece <= 9; ++piece) ExpectSameEverywhere(data, {piece});
        ExpectSameEverywhere(data, {1 << 20});
    }
}

// Long runs of Russian text go through in blocks of 64 bytes: one fault put at every place of a
// few blocks, and the text cut before it at every place, must still give the whole-text result.
TEST_F(StreamConvert, RussianTextWithOneFaultAnywhere) {
    std::string prose;
    while (prose.size() < 400) {
        prose +=
            "\xd0\xa1\xd1\x8a\xd0\xb5\xd1\x88\xd1\x8c \xd0\xb6\xd0\xb5 \xd0\xb5\xd1\x89\xd1\x91 "
            "\xd0\xad\xd0\xa2\xd0\x98\xd0\xa5, \xd1\x87\xd0\xb0\xd1\x8e.\n";
    }
    const std::string faults[] = {
        std::string(1, '\0'), "\xd0\x82", "\xe2\x80\x94", "\xff", "\xd0", "\x80",
        "\xc3\x81",           "\xd1\xbf"};
    for (const int codePage : {1251, 1252}) {
        SetAnsiCodePage(codePage);
        for (const TextFormat to : {kKoi8, kCp1251}) {
            const ConvertOptions options{kUnicode, to, false, true};
            for (const auto level : SimdLevels()) {
                StreamConverter::LimitSimd(level);
                StreamConverter stream(options);
                for (std::size_t at = 0; at < 200; ++at) {
                    for (const std::string& fault : faults) {
                        std::string data = prose;
                        data.insert(at, fault);
                        const Result whole = Whole(options, data);
                        ASSERT_EQ(Streamed(stream, data, {1 << 20}), whole)
                            << codePage << " " << to << " at " << at;
                        ASSERT_EQ(Streamed(stream, data, {at + 1}), whole)
                            << codePage << " " << to << " at " << at << ", pieces";
                    }
                }
            }
        }
    }
}

// Text in a code page goes through byte to byte in blocks of 32 or 64: NUL or a byte that is no
// byte of the destination put at every place of a few blocks, the input cut before it at every
// place, must still give the whole-text result.
TEST_F(StreamConvert, CodePageTextWithOneFaultAnywhere) {
    std::string prose;
    for (int n = 0; prose.size() < 300; ++n) {
        prose += static_cast<char>(0xC0 + n % 64);  // the letters of both code pages
        if (n % 7 == 6) prose += n % 21 == 20 ? ".\r\n" : " ";
    }
    // NUL, the KOI8 box-drawing bytes and CP 1251's letters outside Russian, which some
    // destinations have no byte for, and the Latin-1 signs.
    const char faults[] = {'\0', '\x80', '\x95', '\xA3', '\xB3', '\x8A', '\xA5', '\xBF', '\xE9'};
    for (const int codePage : {1251, 1252}) {
        SetAnsiCodePage(codePage);
        for (const TextFormat from : {kKoi8, kCp1251}) {
            for (TextFormat to = 1; to <= 4; ++to) {
                const ConvertOptions options{from, to, true, true};
                for (const auto level : SimdLevels()) {
                    StreamConverter::LimitSimd(level);
                    StreamConverter stream(options);
                    for (std::size_t at = 0; at < 140; ++at) {
                        for (const char fault : faults) {
                            std::string data = prose;
                            data.insert(at, 1, fault);
                            const Result whole = Whole(options, data);
                            ASSERT_EQ(Streamed(stream, data, {1 << 20}), whole)
                                << codePage << " " << from << " -> " << to << " at " << at;
                            ASSERT_EQ(Streamed(stream, data, {at + 1}), whole)
                                << codePage << " " << from << " -> " << to << " at " << at
                                << ", pieces";
                        }
                    }
                }
            }
        }
    }
}

// Translit text of every rule, cut anywhere: digraphs and "shch" across pieces, escapes, the
// separator, verbatim sections open and closed, spaces the reader writes at either end, NUL,
// characters of two UTF-16 units and malformed UTF-8.
std::string RandomTranslit(std::mt19937& rng, std::size_t length) {
    // clang-format off
    static const std::vector<std::string> parts = {
        "shch", "sh", "s", "kh", "zh", "ts", "ch", "c", "ia", "iu", "I", "\\e", "\\.e", "\\.",
        "\\", "\\'", "_", "<*", "*>", "*", "<", " ", "   ", "Privet", "'", "\"", "y", "\xd0\xb6",
        "\xc3\xa9", "\xf0\x9f\x98\x80", "\xe2\x80\x94", "\n"};
    // clang-format on
    std::string text;
    while (text.size() < length) {
        const auto pick = rng() % 200;
        if (pick == 0) {
            text += '\0';
        } else if (pick == 1) {
            text += "\xff";
        } else {
            text += parts[rng() % parts.size()];
        }
    }
    return text;
}

TEST_F(StreamConvert, TranslitGivesWhatTheWholeTextGives) {
    const std::string cases[] = {
        "",
        "   ",
        "  privet  ",
        "_  ",
        "a  _",       // the reader's spaces at the end go, the input's are kept
        "  _ a _  ",  // and those it writes first
        "abc <*  ",   // an open section keeps them, as it copies the terminator
        "<*",
        "ab<*  *",
        "<* a *>  ",
        std::string("a  _\0b", 6),  // a NUL keeps them too
        std::string("  \0  ", 5),
        "shc",
        "s",
        "\\",
        "\\.",
        "x\xe2\x80\x94y\xff",  // no byte first, malformed later: malformed wins
        "\xf0\x9f\x98\x80 ",
    };
    for (const std::string& data : cases) {
        for (std::size_t piece = 1; piece <= 9; ++piece) {
            ExpectSameEverywhere(data, {piece}, {kTranslit});
        }
    }
    std::mt19937 rng(61);
    for (int round = 0; round < 40; ++round) {
        const std::string data = RandomTranslit(rng, 1 + rng() % 2000);
        const std::size_t piece = 1 + rng() % 300;
        ExpectSameEverywhere(data, {piece, 1 + rng() % 7, piece}, {kTranslit});
    }
}

TEST_F(StreamConvert, NamesTheFirstBadPlaceAcrossPieces) {
    SetAnsiCodePage(1252);
    StreamConverter stream({kUnicode, kTranslit, false, false});
    std::string data(100000, 'a');
    data[70000] = '\xff';
    data[90000] = '\xfe';
    EXPECT_EQ(Streamed(stream, data, {4096}),
              (Result{false, "invalid UTF-8 at byte offset 70000"}));
    StreamConverter bytes({kUnicode, kUnicode, false, true});
    data = std::string(70000, 'b') + "\xd0\xb6";
    EXPECT_EQ(Streamed(bytes, data, {4096}),
              (Result{false, "character U+0436 at position 70001 of the output is no byte"}));
    // A character beyond the basic plane is named by its first UTF-16 unit, and counts two.
    data = "\xf0\x9f\x98\x80\xf0\x9f\x98\x80";
    EXPECT_EQ(Streamed(bytes, data, {3}),
              (Result{false, "character U+D83D at position 1 of the output is no byte"}));
}

TEST_F(StreamConvert, KnowsWhenNoLaterPieceCanRefuseTheInput) {
    SetAnsiCodePage(1252);
    EXPECT_TRUE(StreamConverter({kKoi8, kCp1251, true, true}).CannotFail());
    EXPECT_TRUE(StreamConverter({kKoi8, kUnicode, true, false}).CannotFail());
    EXPECT_FALSE(StreamConverter({kUnicode, kKoi8, false, true}).CannotFail());  // UTF-8 in
    SetAnsiCodePage(1251);  // CP 1251 letters are no bytes under 1251
    EXPECT_FALSE(StreamConverter({kKoi8, kCp1251, true, true}).CannotFail());
}

// What a held output writes to a file, read back.
std::string ThroughFile(const std::function<void(HeldOutput&)>& fill, std::size_t limit,
                        bool& flushed) {
    std::FILE* file = std::tmpfile();
    const int fd = ::fileno(file);
    {
        HeldOutput out(fd, limit);
        fill(out);
        std::string error;
        bool outputFailed = false;
        flushed = out.Flush(error, outputFailed);
    }
    std::string all;
    std::rewind(file);
    char block[4096];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
        all.append(block, got);
    std::fclose(file);
    return all;
}

TEST(HeldOutput, GivesEverythingInOrderInMemoryAndSpilled) {
    std::string want;
    for (int i = 0; i < 50000; ++i) want += std::to_string(i) + ' ';
    const auto fill = [&](HeldOutput& out) {
        // Pieces of odd sizes, some asked for with more room than they take.
        for (std::size_t at = 0; at < want.size();) {
            const std::size_t n = std::min<std::size_t>(want.size() - at, 1 + at % 5003);
            want.copy(out.Room(n + 100), n, at);
            out.Commit(n);
            at += n;
        }
    };
    bool flushed = false;
    EXPECT_EQ(ThroughFile(fill, HeldOutput::kDefaultMemoryLimit, flushed), want);
    EXPECT_TRUE(flushed);
    EXPECT_EQ(ThroughFile(fill, 10000, flushed), want);  // most of it through the temporary file
    EXPECT_TRUE(flushed);
    // Dropped output is never written, spilled or not.
    EXPECT_EQ(ThroughFile(
                  [&](HeldOutput& out) {
                      fill(out);
                      out.Discard();
                  },
                  10000, flushed),
              "");
}

// An output held from a first piece made large at once keeps its order past that piece, and a
// file after it, its expectation dropped, starts again from the front.
TEST(HeldOutput, GivesEverythingInOrderFromAnExpectedSize) {
    std::string want;
    for (int i = 0; want.size() < (3u << 20); ++i) want += std::to_string(i) + ' ';
    for (const std::size_t expected : {std::size_t{600} << 10, want.size(), std::size_t{1} << 30}) {
        bool flushed = false;
        const std::string output = ThroughFile(
            [&](HeldOutput& out) {
                for (int file = 0; file < 2; ++file) {
                    out.Discard();
                    out.Expect(expected);
                    for (std::size_t at = 0; at < want.size();) {
                        const std::size_t n = std::min<std::size_t>(want.size() - at, 70001);
                        want.copy(out.Room(n + 8), n, at);
                        out.Commit(n);
                        at += n;
                    }
                }
            },
            HeldOutput::kDefaultMemoryLimit, flushed);
        EXPECT_TRUE(flushed);
        EXPECT_TRUE(output == want) << expected << ": " << output.size() << " bytes";
    }
}

// The files this process has open in `folder`, as /proc names them ("... (deleted)" once no name
// leads to them).
std::vector<std::string> OpenFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && target.starts_with(folder + "/")) found.push_back(target);
    }
    return found;
}

// Sets TMPDIR (or unsets it, for nullptr) while it lives.
class TmpdirSetting {
  public:
    explicit TmpdirSetting(const char* value) {
        if (const char* old = std::getenv("TMPDIR")) old_ = old;
        if (value != nullptr) {
            ::setenv("TMPDIR", value, 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
    ~TmpdirSetting() {
        if (old_) {
            ::setenv("TMPDIR", old_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

  private:
    std::optional<std::string> old_;
};

// The output beyond what memory holds goes to a file in the folder TMPDIR names (/tmp when it is
// unset, empty or no folder) that no name leads to, so that nothing is left there whatever
// becomes of the converter, and that is closed once written. Where no file can be made, the
// output is refused with the reason, nothing of it written, and what is held is not kept growing.
TEST(HeldOutput, HoldsTheRestInAFileWithoutANameWhereTmpdirSays) {
    char made[] = "/tmp/litvorot-tmpdir-XXXXXX";
    ASSERT_NE(::mkdtemp(made), nullptr);
    const std::string folder = made;
    const std::string notAFolder = folder + "/file";
    std::FILE* plain = std::fopen(notAFolder.c_str(), "w");
    ASSERT_NE(plain, nullptr);
    std::fclose(plain);
    std::string want;
    for (int i = 0; want.size() < 200000; ++i) want += std::to_string(i) + ' ';
    const struct {
        const char* tmpdir;
        std::string where;
    } settings[] = {{made, folder},
                    {nullptr, "/tmp"},
                    {"", "/tmp"},
                    {notAFolder.c_str(), "/tmp"},
                    {"/nonexistent-litvorot", "/tmp"}};
    for (const auto& setting : settings) {
        SCOPED_TRACE(setting.tmpdir == nullptr ? "unset" : setting.tmpdir);
        const TmpdirSetting tmpdir(setting.tmpdir);
        std::vector<std::string> before, during;
        bool flushed = false;
        const std::string output = ThroughFile(
            [&](HeldOutput& out) {
                before = OpenFilesIn(setting.where);
                for (std::size_t at = 0; at < want.size(); at += 1000) {
                    const std::size_t n = std::min<std::size_t>(1000, want.size() - at);
                    want.copy(out.Room(n), n, at);
                    out.Commit(n);
                }
                during = OpenFilesIn(setting.where);
            },
            10000, flushed);
        EXPECT_TRUE(flushed);
        EXPECT_TRUE(output == want);
        ASSERT_EQ(during.size(), before.size() + 1);
        for (const std::string& file : during) {
            if (std::find(before.begin(), before.end(), file) == before.end()) {
                EXPECT_TRUE(file.ends_with(" (deleted)")) << file;
            }
        }
        EXPECT_EQ(OpenFilesIn(folder).size(), 0u);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // notAFolder

    // A folder no file can be made in, whoever runs the test.
    const TmpdirSetting tmpdir("/proc/self");
    char name[] = "/tmp/litvorot-output-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    std::string error;
    bool outputFailed = true;
    {
        HeldOutput out(fd, 10000);
        for (std::size_t at = 0; at < want.size(); at += 1000) {
            out.Commit(want.copy(out.Room(1000), 1000, at));
            ASSERT_LE(out.InMemory().size(), 12000u);
        }
        EXPECT_FALSE(out.Flush(error, outputFailed));
    }
    EXPECT_TRUE(error.starts_with("cannot hold the output in a temporary file: ")) << error;
    EXPECT_FALSE(outputFailed);
    EXPECT_EQ(::lseek(fd, 0, SEEK_END), 0);
    ::close(fd);
    std::remove(name);
    std::filesystem::remove_all(folder);
}

// `text` with `what` put in at `at`.
std::string Inserted(std::string text, std::size_t at, const std::string& what) {
    return text.insert(at, what);
}

// What a file gave through the converter against converting it whole: the same bytes, or the
// same refusal with nothing written.
void ExpectAsWhole(const Result& whole, FileOutcome outcome, const std::string& message,
                   const std::string& output, TextFormat to) {
    if (whole.ok) {
        EXPECT_EQ(outcome, FileOutcome::kConverted) << message;
        EXPECT_TRUE(output == whole.bytes)
            << to << ": " << output.size() << " bytes, want " << whole.bytes.size();
    } else {
        EXPECT_EQ(outcome, FileOutcome::kRefused);
        EXPECT_EQ(message, whole.bytes);
        EXPECT_EQ(output, "");
    }
}

// A file whose output outgrows what memory may hold is checked to its end, then read again from
// where the held output ends: the same bytes, or the same refusal with nothing written, as
// converting it whole; and one file after another through the same converter.
void ExpectFilesConvertAsWholeTexts(std::initializer_list<ConvertOptions> conversions) {
    BuildTables();
    SetAnsiCodePage(1252);
    std::string prose;
    while (prose.size() < 1200000) {
        prose +=
            "\xd0\xa1\xd1\x8a\xd0\xb5\xd1\x88\xd1\x8c \xd0\xb6\xd0\xb5 \xd1\x89\xd1\x91 "
            "shch <*x*> \xd0\xad\xd0\xa2\xd0\x98\xd0\xa5, \xd1\x87\xd0\xb0\xd1\x8e.\n";
    }
    const std::size_t late = prose.size() - 1000;
    const auto with = [&](std::size_t at, const std::string& what) {
        return Inserted(prose, at, what);
    };
    const std::string inputs[] = {
        prose,
        with(late, "\xff"),                    // malformed near the end
        with(late, "\xe2\x80\x94"),            // no byte near the end
        with(late, std::string("\0\xd0", 2)),  // cut at NUL, malformed behind it
        with(late, std::string(1, '\0')),      // cut at NUL
        with(prose.size() / 2, "\xd0\x82"),    // a letter no code page has
    };
    char name[] = "/tmp/litvorot-file-XXXXXX";
    const int input = ::mkstemp(name);
    ASSERT_GE(input, 0);
    ::close(input);
    for (const ConvertOptions options : conversions) {
        FileConverter converter(options);
        for (const std::string& data : inputs) {
            std::FILE* file = std::fopen(name, "wb");
            std::fwrite(data.data(), 1, data.size(), file);
            std::fclose(file);
            const Result whole = Whole(options, data);
            bool flushed = false;
            FileOutcome outcome{};
            std::string message;
            const std::string output = ThroughFile(
                [&](HeldOutput& out) { outcome = converter.Convert(name, out, message); }, 300000,
                flushed);
            ExpectAsWhole(whole, outcome, message, output, options.to);
        }
    }
    std::remove(name);
}

TEST(FileConverter, ReadsAFileAgainRatherThanHoldingMoreThanItsLimit) {
    ExpectFilesConvertAsWholeTexts({ConvertOptions{kUnicode, kKoi8, false, true},
                                    ConvertOptions{kUnicode, kTranslit},
                                    ConvertOptions{kCp1251, kUnicode, false, true}});
}

// Translit source too: the reader's state, the characters it left and the spaces it held go
// with the converter that reads the file again.
TEST(FileConverter, ReadsTranslitAgainFromWhereItsHeldOutputEnds) {
    ExpectFilesConvertAsWholeTexts(
        {ConvertOptions{kTranslit, kUnicode}, ConvertOptions{kTranslit, kKoi8, false, true}});
}

// Writes `data` to the file `name`.
void WriteFile(const char* name, const std::string& data) {
    std::FILE* file = std::fopen(name, "wb");
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
}

// Files of several pieces are converted straight from a mapping of them: the same bytes, or the
// same refusal with nothing written, as converting them whole, with a character cut where a piece
// ends, at the end of the file, and from standard input that is a file read from part-way.
TEST(FileConverter, ConvertsAMappedFileAsTheWholeText) {
    BuildTables();
    SetAnsiCodePage(1252);
    constexpr std::size_t kPiece = FileConverter::kPiece;
    std::string prose;
    while (prose.size() < 3 * kPiece) {
        prose +=
            "\xd0\xa1\xd1\x8a\xd0\xb5\xd1\x88\xd1\x8c \xd0\xb6\xd0\xb5 \xd1\x89\xd1\x91, "
            "\xd0\xad\xd0\xa2\xd0\x98\xd0\xa5 \xd1\x87\xd0\xb0\xd1\x8e.\n";
    }
    const auto with = [&](std::size_t at, const std::string& what) {
        return Inserted(prose, at, what);
    };
    const std::string inputs[] = {
        prose,
        with(kPiece - 1, "\xd0\xb6"),          // a letter across the end of the first piece
        with(2 * kPiece - 2, "\xe2\x80\x94"),  // no byte across the end of the second
        with(prose.size() - 10, "\xff"),       // malformed near the end
        with(kPiece + 5, std::string(1, '\0')) + "\xff",  // cut at NUL, malformed behind it
        prose + "\xd0",                                   // ends in a cut character
    };
    char name[] = "/tmp/litvorot-mapped-XXXXXX";
    const int made = ::mkstemp(name);
    ASSERT_GE(made, 0);
    ::close(made);
    for (const ConvertOptions options :
         {ConvertOptions{kUnicode, kKoi8, false, true}, ConvertOptions{kUnicode, kTranslit},
          ConvertOptions{kKoi8, kCp1251, true, true}}) {
        FileConverter converter(options);
        for (const std::string& data : inputs) {
            WriteFile(name, data);
            const Result whole = Whole(options, data);
            for (const bool throughStandardInput : {false, true}) {
                // Standard input starts 1000 bytes into the file, where the one before it stopped.
                const std::size_t skip = throughStandardInput ? 1000 : 0;
                const Result want = skip == 0 ? whole : Whole(options, data.substr(skip));
                const int saved = ::dup(0);
                const int input = ::open(name, O_RDONLY);
                ASSERT_EQ(::lseek(input, static_cast<off_t>(skip), SEEK_SET), off_t(skip));
                ::dup2(input, 0);
                ::close(input);
                bool flushed = false;
                FileOutcome outcome{};
                std::string message;
                const std::string output = ThroughFile(
                    [&](HeldOutput& out) {
                        outcome =
                            converter.Convert(throughStandardInput ? "-" : name, out, message);
                    },
                    HeldOutput::kDefaultMemoryLimit, flushed);
                // Standard input is left at the end of the file, as reading it leaves it.
                EXPECT_EQ(::lseek(0, 0, SEEK_CUR), off_t(skip == 0 ? 0 : data.size()));
                ::dup2(saved, 0);
                ::close(saved);
                ExpectAsWhole(want, outcome, message, output, options.to);
            }
        }
    }
    std::remove(name);
}

// A file shortened by another program while it is mapped takes pages away from under the
// mapping: reading them is a failed read, not the end of the program, and SIGBUS is handled as
// it was before once the reading is over.
TEST(MappedFile, AFileShortenedWhileMappedIsAFailedRead) {
    char name[] = "/tmp/litvorot-shortened-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    const std::string data(1 << 20, 'x');
    ASSERT_EQ(::write(fd, data.data(), data.size()), ssize_t(data.size()));
    struct Sum {
        const MappedFile* map;
        std::size_t sum;
    };
    const auto add = [](void* context) {
        Sum& s = *static_cast<Sum*>(context);
        for (const char c : s.map->Bytes()) s.sum += static_cast<unsigned char>(c);
    };
    struct sigaction before {};  // the default, or a sanitizer's own handler
    ::sigaction(SIGBUS, nullptr, &before);
    MappedFile map;
    ASSERT_TRUE(map.Map(fd, 4096, data.size() - 4096));
    Sum whole{&map, 0};
    EXPECT_TRUE(map.Read(add, &whole));
    EXPECT_EQ(whole.sum, (data.size() - 4096) * 'x');
    ASSERT_EQ(::ftruncate(fd, 8192), 0);
    Sum cut{&map, 0};
    EXPECT_FALSE(map.Read(add, &cut));
    EXPECT_EQ(cut.sum, 4096u * 'x');  // the page left, then the first one gone
    struct sigaction now {};
    ::sigaction(SIGBUS, nullptr, &now);
    EXPECT_EQ(now.sa_handler, before.sa_handler);
    map.Unmap();
    ::close(fd);
    std::remove(name);
}

// The same through the converter: a file shortened while it is converted is refused, and names
// why. The output of KOI8 into CP 1251 goes out as it comes: the first of it, read through a pipe,
// is when the file is shortened, while the converter waits to write the rest.
TEST(FileConverter, RefusesAFileShortenedWhileConverted) {
    BuildTables();
    SetAnsiCodePage(1252);
    char name[] = "/tmp/litvorot-shortened-XXXXXX";
    const int made = ::mkstemp(name);
    ASSERT_GE(made, 0);
    ::close(made);
    WriteFile(name, std::string(8 * FileConverter::kPiece, '\xc1'));
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    std::thread reader([&] {
        char block[4096];
        bool shortened = false;
        while (::read(pipe[0], block, sizeof block) > 0) {
            if (!shortened) ::truncate(name, 0);
            shortened = true;
        }
    });
    FileOutcome outcome{};
    std::string message;
    {
        FileConverter converter({kKoi8, kCp1251, true, true});
        HeldOutput out(pipe[1]);
        outcome = converter.Convert(name, out, message);
    }
    ::close(pipe[1]);
    reader.join();
    ::close(pipe[0]);
    EXPECT_EQ(outcome, FileOutcome::kRefused);
    EXPECT_EQ(message, "changed while it was read: part of it could no longer be read");
    std::remove(name);
}

}  // namespace
}  // namespace litvorot
