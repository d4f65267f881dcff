#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "TempDir.h"
#include "shell/modFileIO.h"

namespace litvorot {
namespace {
namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override { file_ = dir_ / "settings.ini"; }
    void Write(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    SettingsRead ReadBytes(const std::string& bytes) {
        Write(file_, bytes);
        return ReadSettingsFile(file_);
    }
    static bool RunningAsRoot() { return ::geteuid() == 0; }

    // SaveSettingsFile(path) as a user whom the permissions bind: this one, or as root "nobody"
    // (uid 65534) in a child process. The answer, or "child failed" when the child could not run.
    static std::string SaveUnprivileged(const fs::path& path, const Settings& settings) {
        if (!RunningAsRoot()) return SaveSettingsFile(path, settings);
        int pipe[2];
        if (::pipe(pipe) != 0) return "child failed";
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipe[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
            const std::string answer = SaveSettingsFile(path, settings);
            const bool sent = ::write(pipe[1], answer.data(), answer.size()) ==
                              static_cast<ssize_t>(answer.size());
            ::_exit(sent ? 0 : 1);
        }
        ::close(pipe[1]);
        std::string answer;
        char buffer[512];
        for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, n);
        ::close(pipe[0]);
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            return "child failed";
        }
        return answer;
    }
    // Hands `path` to the user SaveUnprivileged runs as.
    static void GiveToSaver(const fs::path& path) {
        if (RunningAsRoot()) {
            ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        }
    }

    test::TempDir temp_{"settings"};
    const fs::path dir_ = temp_.Path();
    fs::path file_;
};

TEST_F(SettingsFileTest, DefaultsAreSeventeenBytes) {
    ASSERT_EQ(SaveSettingsFile(file_, Settings{}), "");
    EXPECT_EQ(Read(file_), " 3 \r\n 2 \r\nFalse\r\n");
    EXPECT_EQ(Read(file_).size(), 17u);
}

TEST_F(SettingsFileTest, EveryCombinationRoundTrips) {
    for (TextFormat source = 1; source <= 4; ++source) {
        for (TextFormat dest = 1; dest <= 4; ++dest) {
            for (bool status : {false, true}) {
                ASSERT_EQ(SaveSettingsFile(file_, Settings{source, dest, status}), "");
                const SettingsRead read = ReadSettingsFile(file_);
                ASSERT_EQ(read.outcome, SettingsRead::Outcome::Read);
                EXPECT_EQ(read.sourceFormat, source);
                EXPECT_EQ(read.destFormat, dest);
                EXPECT_EQ(read.displayStatus, status);
            }
        }
    }
    EXPECT_EQ(Read(file_), " 4 \r\n 4 \r\nTrue\r\n");
    EXPECT_FALSE(fs::exists(dir_ / "settings.ini.tmp"));
}

TEST_F(SettingsFileTest, OddValuesAreKeptAndWrittenInTheNumberForm) {
    const SettingsRead read = ReadBytes(" 7 \r\n-1 \r\nTRUE\r\n");
    EXPECT_EQ(read.outcome, SettingsRead::Outcome::Read);
    EXPECT_EQ(read.sourceFormat, 7);
    EXPECT_EQ(read.destFormat, -1);
    EXPECT_EQ(read.displayStatus, true);
    EXPECT_EQ(FormatSettings(Settings{7, -1, true}), " 7 \r\n-1 \r\nTrue\r\n");
    EXPECT_EQ(FormatSettings(Settings{-32768, 32767, false}), "-32768 \r\n 32767 \r\nFalse\r\n");
}

TEST_F(SettingsFileTest, LineEndsAndTrailingContent) {
    // A fourth line of any content is ignored; CR alone ends a line; the last line may end at
    // the end of the file.
    for (const char* bytes :
         {" 3 \r\n 2 \r\nFalse\r\nanything\r\nmore", "1\r4\rtrue", " 1 \r\n 4 \r\ntrue"}) {
        EXPECT_EQ(ReadBytes(bytes).outcome, SettingsRead::Outcome::Read) << bytes;
    }
    EXPECT_EQ(ReadBytes("1\r4\rtrue").destFormat, 4);
    // A lone LF belongs to the line, so a file with LF line ends is one bad first line.
    const SettingsRead lf = ReadBytes("3\n2\nFalse\n");
    EXPECT_EQ(lf.outcome, SettingsRead::Outcome::Bad);
    EXPECT_FALSE(lf.sourceFormat.has_value());
}

TEST_F(SettingsFileTest, NumberLines) {
    EXPECT_EQ(ParseFormatLine("  3  "), 3);
    EXPECT_EQ(ParseFormatLine("+4"), 4);
    EXPECT_EQ(ParseFormatLine("2.5"), 2);  // halves go to the even neighbour
    EXPECT_EQ(ParseFormatLine("3.5"), 4);
    EXPECT_EQ(ParseFormatLine("-2.5"), -2);
    EXPECT_EQ(ParseFormatLine("1e1"), 10);
    EXPECT_EQ(ParseFormatLine("-32768"), -32768);
    EXPECT_EQ(ParseFormatLine("32767.4"), 32767);
    for (const char* bad : {"", "   ", "32768", "-32769", "32767.5", "abc", "3a", "3 4", "0x3",
                            "inf", "nan", ".", "1e", "1e999", "\t3"}) {
        EXPECT_FALSE(ParseFormatLine(bad).has_value()) << '"' << bad << '"';
    }
}

TEST_F(SettingsFileTest, TruthLines) {
    for (const char* yes : {"True", "true", "TRUE", " tRuE ", "1", "-1", "0.5", "7"}) {
        EXPECT_EQ(ParseStatusLine(yes), true) << yes;
    }
    for (const char* no : {"False", "false", "FALSE", "0", " 0.0 "}) {
        EXPECT_EQ(ParseStatusLine(no), false) << no;
    }
    for (const char* bad : {"", "yes", "Truee", "T"}) EXPECT_FALSE(ParseStatusLine(bad)) << bad;
}

TEST_F(SettingsFileTest, ABadLineKeepsTheLinesBeforeItAndNamesFileAndLine) {
    const SettingsRead bad = ReadBytes(" 4 \r\n\r\nTrue\r\n");
    EXPECT_EQ(bad.outcome, SettingsRead::Outcome::Bad);
    EXPECT_EQ(bad.sourceFormat, 4);
    EXPECT_FALSE(bad.destFormat.has_value());
    EXPECT_FALSE(bad.displayStatus.has_value());
    EXPECT_NE(bad.message.find(file_.string()), std::string::npos) << bad.message;
    EXPECT_NE(bad.message.find("line 2"), std::string::npos) << bad.message;

    const SettingsRead shortFile = ReadBytes(" 1 \r\n 4 \r\n");
    EXPECT_EQ(shortFile.outcome, SettingsRead::Outcome::Bad);
    EXPECT_EQ(shortFile.destFormat, 4);
    EXPECT_NE(shortFile.message.find("line 3"), std::string::npos) << shortFile.message;

    EXPECT_EQ(ReadBytes("").outcome, SettingsRead::Outcome::Bad);
    EXPECT_EQ(ReadBytes(std::string(" 1 \r\n 2 \r\nFa\0se\r\n", 16)).outcome,
              SettingsRead::Outcome::Bad);
    EXPECT_EQ(ReadBytes(std::string(100000, '3')).outcome, SettingsRead::Outcome::Bad);
}

TEST_F(SettingsFileTest, OnlyVisibleOrdinaryFilesCount) {
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(file_));
    EXPECT_EQ(ReadSettingsFile(file_).outcome, SettingsRead::Outcome::NoFile);

    Write(dir_ / ".settings.ini", " 1 \r\n 1 \r\nTrue\r\n");
    EXPECT_FALSE(FileExists(dir_ / ".settings.ini"));
    EXPECT_EQ(ReadSettingsFile(dir_ / ".settings.ini").outcome, SettingsRead::Outcome::NoFile);

    fs::create_directory(file_);
    EXPECT_FALSE(FileExists(file_));
    EXPECT_EQ(ReadSettingsFile(file_).outcome, SettingsRead::Outcome::NoFile);
    // Saving over a directory fails and says so; the directory is left alone.
    const std::string error = SaveSettingsFile(file_, Settings{});
    EXPECT_NE(error.find(file_.string()), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(file_));
    EXPECT_FALSE(fs::exists(dir_ / "settings.ini.tmp"));
}

TEST_F(SettingsFileTest, SavingReplacesTheWholeFileAndCreatesTheDirectory) {
    Write(file_, " 1 \r\n 1 \r\nTrue\r\nan old fourth line that is long\r\n");
    ASSERT_EQ(SaveSettingsFile(file_, Settings{2, 3, false}), "");
    EXPECT_EQ(Read(file_), " 2 \r\n 3 \r\nFalse\r\n");

    const fs::path nested = dir_ / "config" / "litvorot" / "settings.ini";
    ASSERT_EQ(SaveSettingsFile(nested, Settings{}), "");
    EXPECT_EQ(Read(nested), " 3 \r\n 2 \r\nFalse\r\n");
}

TEST_F(SettingsFileTest, AnUnwritablePlaceIsReportedWithPathAndReason) {
    // A directory that cannot exist: its parent is an ordinary file.
    Write(dir_ / "plain", "x");
    const fs::path impossible = dir_ / "plain" / "settings.ini";
    const std::string error = SaveSettingsFile(impossible, Settings{});
    EXPECT_NE(error.find(impossible.string()), std::string::npos) << error;
    EXPECT_NE(error.find("directory"), std::string::npos) << error;  // "Not a directory"
}

TEST_F(SettingsFileTest, ReadOnlyDirectoryAndFileAreLeftAlone) {
    if (RunningAsRoot()) GTEST_SKIP() << "permissions do not bind root";
    Write(file_, " 1 \r\n 1 \r\nTrue\r\n");
    fs::permissions(file_, fs::perms::owner_read);
    std::string error = SaveSettingsFile(file_, Settings{});
    EXPECT_NE(error.find(file_.string()), std::string::npos) << error;
    EXPECT_EQ(Read(file_), " 1 \r\n 1 \r\nTrue\r\n");

    fs::remove(file_);
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    error = SaveSettingsFile(file_, Settings{});
    EXPECT_NE(error.find("ermission denied"), std::string::npos) << error;
    EXPECT_FALSE(DirectoryWritable(dir_));
    EXPECT_EQ(SettingsPath(dir_, "/home/u/.config"), "/home/u/.config/litvorot/settings.ini");
}

TEST_F(SettingsFileTest, AWritableFileInAReadOnlyDirectoryIsWrittenInPlace) {
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_exec);
    const fs::path share = dir_ / "share";
    fs::create_directory(share);
    const fs::path file = share / "settings.ini";
    Write(file, " 1 \r\n 4 \r\nTrue\r\nan old fourth line\r\n");
    GiveToSaver(file);
    fs::permissions(share, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                               fs::perms::others_exec);
    EXPECT_EQ(SaveUnprivileged(file, Settings{2, 3, false}), "");
    EXPECT_EQ(Read(file), " 2 \r\n 3 \r\nFalse\r\n");        // the longer old content is cut off
    EXPECT_EQ(fs::directory_iterator(share)->path(), file);  // nothing beside it

    // A file that cannot be written either is still reported and left alone.
    fs::permissions(file, fs::perms::owner_read | fs::perms::others_read);
    const std::string error = SaveUnprivileged(file, Settings{});
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
    EXPECT_NE(error.find("ermission denied"), std::string::npos) << error;
    EXPECT_EQ(Read(file), " 2 \r\n 3 \r\nFalse\r\n");
    fs::permissions(share, fs::perms::owner_all);
}

TEST_F(SettingsFileTest, ALinkedSettingsFileStaysALink) {
    // The link is relative, as one made beside the program usually is; its target lives in
    // another directory, where the temporary file must be made for the rename to stay atomic.
    const fs::path app = dir_ / "app";
    const fs::path real = dir_ / "real" / "settings.ini";
    fs::create_directories(app);
    fs::create_directories(real.parent_path());
    Write(real, " 1 \r\n 1 \r\nTrue\r\n");
    fs::create_symlink("../real/settings.ini", file_ = app / "settings.ini");
    // A second link in front of the first: both are followed.
    const fs::path outer = dir_ / "settings.ini";
    fs::create_symlink(file_, outer);

    ASSERT_EQ(SaveSettingsFile(outer, Settings{4, 1, false}), "");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(outer)));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file_)));
    EXPECT_EQ(fs::read_symlink(file_), "../real/settings.ini");
    EXPECT_EQ(Read(real), " 4 \r\n 1 \r\nFalse\r\n");
    EXPECT_EQ(ReadSettingsFile(outer).sourceFormat, 4);
    EXPECT_FALSE(fs::exists(app / "settings.ini.tmp"));
    EXPECT_FALSE(fs::exists(real.string() + ".tmp"));

    // A link whose target is missing gets the target made; a link loop is reported, not followed
    // forever, and left as it was.
    fs::remove(real);
    ASSERT_EQ(SaveSettingsFile(file_, Settings{}), "");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file_)));
    EXPECT_EQ(Read(real), " 3 \r\n 2 \r\nFalse\r\n");
    const fs::path loop = dir_ / "loop.ini";
    fs::create_symlink("loop.ini", loop);
    EXPECT_NE(SaveSettingsFile(loop, Settings{}), "");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(loop)));
}

// In a folder others can write, a link planted where the temporary file used to be made is left
// alone (its target is not truncated), and saving leaves no file behind but the settings.
TEST_F(SettingsFileTest, APlantedLinkIsNotFollowedAndNothingIsLeftBehind) {
    const fs::path victim = dir_ / "victim";
    Write(victim, "precious");
    fs::create_symlink(victim, dir_ / "settings.ini.tmp");
    for (const char* name : {"settings.ini.XXXXXX", "settings.ini.000000"}) {
        fs::create_symlink(victim, dir_ / name);
    }
    ASSERT_EQ(SaveSettingsFile(file_, Settings{1, 4, true}), "");
    ASSERT_EQ(SaveSettingsFile(file_, Settings{2, 4, true}), "");
    EXPECT_EQ(Read(victim), "precious");
    EXPECT_EQ(Read(file_), " 2 \r\n 4 \r\nTrue\r\n");
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(file_)));
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 5);  // the victim, the three links and settings.ini

    // A new file gets the permissions the umask gives; a replaced one keeps its own.
    const mode_t mask = ::umask(022);
    fs::remove(file_);
    ASSERT_EQ(SaveSettingsFile(file_, Settings{}), "");
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(SaveSettingsFile(file_, Settings{}), "");
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    ::umask(mask);
}

// What a save cut short by kill -9 left is cleared by the next save; a save in progress (a
// fresh file), a link and files of other names stay.
TEST_F(SettingsFileTest, LeftoversOfASaveCutShortGoAtTheNextSave) {
    const fs::path old = dir_ / "settings.ini.Ab12Cd";
    const fs::path fresh = dir_ / "settings.ini.Zz99Yy";
    const fs::path link = dir_ / "settings.ini.LnK000";
    const fs::path other = dir_ / "settings.ini.backup";
    for (const fs::path& path : {old, fresh, other}) Write(path, "x");
    fs::create_symlink(other, link);
    fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::seconds(10));
    ASSERT_EQ(SaveSettingsFile(file_, Settings{}), "");
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(Read(other), "x");
}

TEST_F(SettingsFileTest, WhereTheSettingsLive) {
    // Beside the executable when the directory is writable or the file is there already.
    EXPECT_EQ(SettingsPath(dir_, "/home/u/.config"), file_);
    // Otherwise in the user's config directory.
    const fs::path missing = dir_ / "no-such-dir";
    EXPECT_FALSE(DirectoryWritable(missing));
    EXPECT_EQ(SettingsPath(missing, "/home/u/.config"), "/home/u/.config/litvorot/settings.ini");
    EXPECT_EQ(SettingsPath(missing, ""), missing / "settings.ini");

    // An installed copy (its data directory beside bin/) writes to the user's config directory
    // although bin/ is writable; a settings.ini already beside it still wins.
    const fs::path bin = dir_ / "bin";
    const fs::path data = InstalledDataDir(bin);
    ASSERT_FALSE(data.empty());
    fs::create_directories(bin);
    EXPECT_EQ(SettingsPath(bin, "/home/u/.config"), bin / "settings.ini");
    fs::create_directories(data);
    EXPECT_EQ(SettingsPath(bin, "/home/u/.config"), "/home/u/.config/litvorot/settings.ini");
    EXPECT_EQ(SettingsPath(bin, ""), bin / "settings.ini");
    Write(bin / "settings.ini", " 3 \r\n 2 \r\nFalse\r\n");
    EXPECT_EQ(SettingsPath(bin, "/home/u/.config"), bin / "settings.ini");

    EXPECT_EQ(UserConfigHome("/x/cfg", "/home/u"), "/x/cfg");
    EXPECT_EQ(UserConfigHome("relative", "/home/u"), "/home/u/.config");
    EXPECT_EQ(UserConfigHome("", "/home/u"), "/home/u/.config");
    EXPECT_EQ(UserConfigHome(nullptr, nullptr), "");
}

}  // namespace
}  // namespace litvorot
