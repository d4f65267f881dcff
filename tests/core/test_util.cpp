#include "test_util.h"

#include <utf8.h>

namespace litvorot::test {

std::u16string U16(std::string_view utf8) {
    std::u16string out;
    utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(out));
    return out;
}

std::string U8(std::u16string_view utf16) {
    std::string out;
    utf8::utf16to8(utf16.begin(), utf16.end(), std::back_inserter(out));
    return out;
}

}  // namespace litvorot::test
