// The ANSI code page that the 8-bit formats are written in. On Windows it is the system's own; on
// other systems it is derived from the user's locale the way Windows derives it from the system
// locale: Cyrillic-script languages give 1251, every other language 1252.
#pragma once

#include <string_view>

namespace litvorot {

// The code page in use for writing KOI8 and CP 1251 text: 1251 or 1252 (on Windows, whatever the
// system uses).
int AnsiCodePage();

// Overrides the code page in use (tests, the converter's --codepage). Only 1251 and 1252 are
// accepted; returns false and changes nothing for any other number.
bool SetAnsiCodePage(int codePage);

// The code page Windows would choose for a POSIX locale name such as "ru_RU.UTF-8" or
// "sr_RS@latin": 1251 for Cyrillic-script languages, otherwise 1252.
int CodePageForLocale(std::string_view localeName);

// The code page of the current environment: the system's on Windows, else from LC_ALL, LC_CTYPE
// or LANG, whichever is set first.
int SystemAnsiCodePage();

// The character that `byte` stands for in `codePage` (1251 or 1252; elsewhere than on Windows any
// other number is taken as 1252), as Windows maps it: bytes the code page leaves undefined become
// the control character of the same number.
char16_t ByteToChar(int codePage, unsigned char byte);

}  // namespace litvorot
