#include <gtest/gtest.h>

#include "FakeClipboard.h"
#include "RunConversion.h"
#include "shell/modConversion.h"

namespace litvorot {
namespace {

class ConversionTest : public ::testing::Test {
  protected:
    void SetUp() override { BuildTables(); }
    test::FakeClipboard clipboard_;
};

TEST_F(ConversionTest, ConvertsTheClipboardTextAndWritesItBack) {
    clipboard_.Put(u"privet, mir");
    const ConversionResult result = RunConversion(clipboard_, kTranslit, kUnicode, false);
    EXPECT_TRUE(result.written);
    EXPECT_FALSE(result.openStatus);
    EXPECT_EQ(clipboard_.written, u"привет, мир");

    clipboard_.Put(u"  Привет ");
    EXPECT_TRUE(RunConversion(clipboard_, kUnicode, kTranslit, true).openStatus);
    EXPECT_EQ(clipboard_.written, u"  Privet ");
}

TEST_F(ConversionTest, EqualFormatsStillWriteTheTextBack) {
    clipboard_.Put(u"abc");
    const ConversionResult result = RunConversion(clipboard_, kUnicode, kUnicode, true);
    EXPECT_TRUE(result.written);
    EXPECT_TRUE(result.openStatus);
    EXPECT_EQ(clipboard_.written, u"abc");
}

TEST_F(ConversionTest, NothingReadableLeavesTheClipboardAlone) {
    // No text at all (a picture, files, a busy clipboard), and a clipboard holding the empty text.
    for (const std::u16string& content : {std::u16string(), std::u16string(1, u'\0')}) {
        clipboard_.content = content;
        const ConversionResult result = RunConversion(clipboard_, kTranslit, kCp1251, true);
        EXPECT_FALSE(result.written);
        EXPECT_EQ(clipboard_.writes, 0);
        EXPECT_EQ(clipboard_.content, content);
        // The status option is honoured as for any other run.
        EXPECT_TRUE(result.openStatus);
    }
}

TEST_F(ConversionTest, OnlyTheTextBeforeTheFirstNulIsWritten) {
    clipboard_.content = std::u16string(u"privet\0junk\0", 12);
    RunConversion(clipboard_, kTranslit, kUnicode, false);
    EXPECT_EQ(clipboard_.written, u"привет");
}

}  // namespace
}  // namespace litvorot
