// Small helpers shared by the core tests.
#pragma once

#include <random>
#include <string>
#include <string_view>

#include "convert/modCodePage.h"
#include "tables/modMessages.h"
#include "tables/modTables.h"

namespace litvorot::test {

// UTF-8 literal to UTF-16 (the tests' texts are written in UTF-8 source).
std::u16string U16(std::string_view utf8);
std::string U8(std::u16string_view utf16);

// Up to `most` bytes of UTF-8 as random input is: whole characters of every length (their first
// and last code points among them) mixed with the bytes that make sequences malformed, cut short
// or overlong.
std::string RandomUtf8Mix(std::mt19937& rng, std::size_t most);

// A clipboard text: the characters followed by the terminating NUL.
inline std::u16string Terminated(std::string_view utf8) { return U16(utf8) + u'\0'; }

// Counts the messages shown while it lives, and restores the previous hook after.
class MessageCounter {
  public:
    MessageCounter()
        : previous_(SetMessageHook([this](std::string_view text) {
              ++count;
              last = std::string(text);
          })) {}
    ~MessageCounter() { SetMessageHook(previous_); }
    int count = 0;
    std::string last;

  private:
    MessageHook previous_;
};

// Sets the ANSI code page for the life of a test.
class CodePageScope {
  public:
    explicit CodePageScope(int codePage) : previous_(AnsiCodePage()) { SetAnsiCodePage(codePage); }
    ~CodePageScope() { SetAnsiCodePage(previous_); }

  private:
    int previous_;
};

}  // namespace litvorot::test
