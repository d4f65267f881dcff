// The settings file on Windows: folders whose names the ANSI code page cannot hold, the hidden
// attribute, which hides the file from the program as it does from a directory listing, and the
// temporary file it is written through.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/modFileIO.h"

using namespace litvorot;
namespace fs = std::filesystem;

namespace {

class SettingsWin32Test : public testing::Test {
  protected:
    void SetUp() override {
        // "Пётр 東京": neither code page 1251 nor 1252 holds all of it.
        folder_ = fs::temp_directory_path() / L"\u041f\u0451\u0442\u0440 \u6771\u4eac";
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

TEST_F(SettingsWin32Test, AFolderOutsideTheAnsiCodePageKeepsTheSettings) {
    const fs::path file = folder_ / kSettingsFileName;
    ASSERT_EQ(SaveSettingsFile(file, Settings{4, 1, true}), "");
    const SettingsRead read = ReadSettingsFile(file);
    ASSERT_EQ(read.outcome, SettingsRead::Outcome::Read);
    EXPECT_EQ(read.sourceFormat, 4);
    EXPECT_EQ(read.destFormat, 1);
    EXPECT_EQ(read.displayStatus, true);

    // A message naming such a folder is whole UTF-8, not a thrown conversion error.
    std::ofstream(folder_ / L"\u0434\u0438\u0440") << "a file where a folder should be";
    const std::string failure =
        SaveSettingsFile(folder_ / L"\u0434\u0438\u0440" / kSettingsFileName, Settings{});
    EXPECT_NE(failure.find("\xd0\x9f\xd1\x91\xd1\x82\xd1\x80"), std::string::npos) << failure;
}

TEST_F(SettingsWin32Test, AHiddenSettingsFileIsNotRead) {
    const fs::path file = folder_ / kSettingsFileName;
    ASSERT_EQ(SaveSettingsFile(file, Settings{1, 4, false}), "");
    ASSERT_TRUE(FileExists(file));
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(ReadSettingsFile(file).outcome, SettingsRead::Outcome::NoFile);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SettingsWin32Test, ALinkedSettingsFileStaysALink) {
    const fs::path real = folder_ / L"real";
    fs::create_directories(real);
    const fs::path target = real / kSettingsFileName;
    ASSERT_EQ(SaveSettingsFile(target, Settings{1, 1, true}), "");
    const fs::path link = folder_ / kSettingsFileName;
    // Unprivileged creation needs developer mode on Windows 10 and later.
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), 0x2) &&
        !CreateSymbolicLinkW(link.c_str(), target.c_str(), 0)) {
        GTEST_SKIP() << "symbolic links cannot be made here (error " << GetLastError() << ")";
    }
    // Wine 8 makes the link but cannot open it afterwards.
    const DWORD before = GetFileAttributesW(link.c_str());
    if (before == INVALID_FILE_ATTRIBUTES || (before & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
        ReadSettingsFile(link).sourceFormat != 1) {
        GTEST_SKIP() << "symbolic links are made here but cannot be followed";
    }
    ASSERT_EQ(SaveSettingsFile(link, Settings{4, 2, false}), "");
    const DWORD attributes = GetFileAttributesW(link.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "the link became a file";
    EXPECT_EQ(ReadSettingsFile(target).sourceFormat, 4);
    EXPECT_FALSE(fs::exists(folder_ / L"settings.ini.tmp"));
}

std::string Content(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Saving goes through a new file of its own name: a file planted at the old fixed name, or a link
// there, is left alone, and nothing is left behind but the settings.
TEST_F(SettingsWin32Test, AFilePlantedAtTheOldTemporaryNameIsLeftAlone) {
    const fs::path file = folder_ / kSettingsFileName;
    const fs::path planted = folder_ / L"settings.ini.tmp";
    std::ofstream(planted, std::ios::binary) << "precious";
    ASSERT_EQ(SaveSettingsFile(file, Settings{1, 4, true}), "");
    ASSERT_EQ(SaveSettingsFile(file, Settings{2, 4, false}), "");
    EXPECT_EQ(ReadSettingsFile(file).sourceFormat, 2);
    EXPECT_EQ(Content(planted), "precious");
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"settings.ini", L"settings.ini.tmp"}));
}

TEST_F(SettingsWin32Test, ALinkPlantedAtTheOldTemporaryNameIsNotFollowed) {
    const fs::path file = folder_ / kSettingsFileName;
    const fs::path planted = folder_ / L"settings.ini.tmp";
    const fs::path victim = folder_ / L"victim";
    std::ofstream(victim, std::ios::binary) << "precious";
    if ((!CreateSymbolicLinkW(planted.c_str(), victim.c_str(), 0x2) &&
         !CreateSymbolicLinkW(planted.c_str(), victim.c_str(), 0)) ||
        Content(planted) != "precious") {
        GTEST_SKIP() << "symbolic links cannot be made or followed here";
    }
    ASSERT_EQ(SaveSettingsFile(file, Settings{3, 1, true}), "");
    EXPECT_EQ(Content(victim), "precious");
    EXPECT_EQ(Content(planted), "precious");
    EXPECT_EQ(ReadSettingsFile(file).sourceFormat, 3);
}

}  // namespace
