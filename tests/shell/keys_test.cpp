// The keys replacing the selection sends on Wayland, looked up in the user's keymap, the keys
// chosen for each kind of window, and the portal's restore token kept between runs.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "shell/modKeymap.h"
#include "shell/modRestoreToken.h"

namespace litvorot {
namespace {

// evdev codes (linux/input-event-codes.h), as Wayland and the portal number the keys.
constexpr std::uint32_t kEvdevLeftCtrl = 29, kEvdevLeftShift = 42, kEvdevC = 46, kEvdevV = 47,
                        kEvdevLeft = 105, kEvdevInsert = 110, kEvdevCapsLock = 58, kEvdevI = 23,
                        kEvdevDot = 52;

// A keymap of the layouts and options given, in XKB's text format, as a compositor hands it on.
std::string KeymapOf(const char* layout, const char* options = nullptr) {
    const char* names[] = {"XKB_DEFAULT_LAYOUT", "XKB_DEFAULT_OPTIONS", "XKB_DEFAULT_VARIANT"};
    for (const char* name : names) ::unsetenv(name);
    ::setenv("XKB_DEFAULT_LAYOUT", layout, 1);
    if (options != nullptr) ::setenv("XKB_DEFAULT_OPTIONS", options, 1);
    std::string keymap = DefaultKeymap();
    for (const char* name : names) ::unsetenv(name);
    return keymap;
}

TEST(KeymapTest, TheKeysAreWhereTheUsersLayoutHasThem) {
    const auto us = LookUpKeys(KeymapOf("us"));
    ASSERT_TRUE(us);
    EXPECT_EQ(us->Code(Key::kControl), kEvdevLeftCtrl);
    EXPECT_EQ(us->Code(Key::kShift), kEvdevLeftShift);
    EXPECT_EQ(us->Code(Key::kC), kEvdevC);
    EXPECT_EQ(us->Code(Key::kV), kEvdevV);
    EXPECT_EQ(us->Code(Key::kLeft), kEvdevLeft);
    EXPECT_EQ(us->Code(Key::kInsert), kEvdevInsert);
    EXPECT_EQ(us->layout, 0u);
    EXPECT_NE(us->controlMask, 0u);
    EXPECT_NE(us->shiftMask, 0u);
    EXPECT_NE(us->controlMask, us->shiftMask);

    // Dvorak: c and v are on other keys than on a QWERTY keyboard.
    const auto dvorak = LookUpKeys(KeymapOf("us(dvorak)"));
    ASSERT_TRUE(dvorak);
    EXPECT_EQ(dvorak->Code(Key::kC), kEvdevI);
    EXPECT_EQ(dvorak->Code(Key::kV), kEvdevDot);

    // Control moved to Caps Lock's key: the only key that gives Control_L.
    const auto swapped = LookUpKeys(KeymapOf("us", "ctrl:swapcaps"));
    ASSERT_TRUE(swapped);
    EXPECT_EQ(swapped->Code(Key::kControl), kEvdevCapsLock);

    // Russian first: its layout has no Latin c, the second one does, and the keys are stated in
    // that layout.
    const auto ruUs = LookUpKeys(KeymapOf("ru,us"));
    ASSERT_TRUE(ruUs);
    EXPECT_EQ(ruUs->layout, 1u);
    EXPECT_EQ(ruUs->Code(Key::kC), kEvdevC);
}

TEST(KeymapTest, AKeymapWithoutTheKeysIsNotUsed) {
    // What a program that types text uploads: only the keys it types (here c and nothing else).
    const std::string partial = R"km(xkb_keymap {
        xkb_keycodes "(unnamed)" { minimum = 8; maximum = 255; <K1> = 9; };
        xkb_types "(unnamed)" { include "complete" };
        xkb_compatibility "(unnamed)" { include "complete" };
        xkb_symbols "(unnamed)" { key <K1> { [ c ] }; };
    };)km";
    EXPECT_FALSE(LookUpKeys(partial));
    EXPECT_FALSE(LookUpKeys("not a keymap"));
    EXPECT_FALSE(LookUpKeys(""));
    // A Russian layout alone has no Latin c or v at all.
    EXPECT_FALSE(LookUpKeys(KeymapOf("ru")));
    // The compositor's keymap comes with its terminating NUL.
    std::string withNul = KeymapOf("us");
    withNul.push_back('\0');
    EXPECT_TRUE(LookUpKeys(withNul));
}

bool Has(const std::vector<KeyStroke>& strokes, Key key) {
    return std::any_of(strokes.begin(), strokes.end(),
                       [key](const KeyStroke& stroke) { return stroke.key == key; });
}

TEST(KeymapTest, NoWindowThatMayBeATerminalGetsCtrlC) {
    // Ctrl+C interrupts the program running in a terminal: only a window known not to be one
    // gets it.
    EXPECT_EQ(CopyKeys(false, true), Shortcut({Key::kControl, Key::kC}));
    EXPECT_TRUE(Has(CopyKeys(true, true), Key::kShift));
    EXPECT_TRUE(Has(PasteKeys(true, true), Key::kShift));
    EXPECT_FALSE(Has(CopyKeys(false, false), Key::kC));
    EXPECT_FALSE(Has(PasteKeys(false, false), Key::kV));
}

TEST(RestoreTokenTest, KeptForTheUserAloneAndReadBack) {
    test::TempDir dir("token");
    const std::filesystem::path file = dir.Path() / "state" / "litvorot" / "remote-desktop-token";
    EXPECT_EQ(ReadRestoreToken(file), "");
    ASSERT_TRUE(WriteRestoreToken(file, "3f2a9c1e-7b4d-4e5f-9a8b-1c2d3e4f5a6b"));
    EXPECT_EQ(ReadRestoreToken(file), "3f2a9c1e-7b4d-4e5f-9a8b-1c2d3e4f5a6b");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // The next token replaces it; nothing of the writing is left beside it.
    ASSERT_TRUE(WriteRestoreToken(file, "second"));
    EXPECT_EQ(ReadRestoreToken(file), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()),
                            std::filesystem::directory_iterator()),
              1);
    // An empty token forgets it.
    ASSERT_TRUE(WriteRestoreToken(file, ""));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(RestoreTokenTest, WhatIsNoTokenIsNeitherReadNorWritten) {
    test::TempDir dir("token");
    const std::filesystem::path file = dir.Path() / "remote-desktop-token";
    EXPECT_FALSE(WriteRestoreToken(file, "two words"));
    EXPECT_FALSE(WriteRestoreToken(file, "line\nbreak"));
    EXPECT_FALSE(std::filesystem::exists(file));
    for (const std::string& content :
         {std::string("two words\n"), std::string(300, 'a'), std::string("\x01\x02", 2)}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
        EXPECT_EQ(ReadRestoreToken(file), "") << content;
    }
    EXPECT_EQ(ReadRestoreToken({}), "");
    EXPECT_FALSE(WriteRestoreToken({}, "token"));
}

}  // namespace
}  // namespace litvorot
