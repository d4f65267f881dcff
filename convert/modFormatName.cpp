#include "convert/modFormatName.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace litvorot {

namespace {

std::string Lower(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

}  // namespace

bool IsAutoFormatName(std::string_view name) {
    const std::string lower = Lower(name);
    return lower == "auto" || lower == "5";
}

std::optional<TextFormat> ParseFormatName(std::string_view name) {
    const std::string lower = Lower(name);
    if (lower == "koi8" || lower == "1") return kKoi8;
    if (lower == "cp1251" || lower == "2") return kCp1251;
    if (lower == "translit" || lower == "3") return kTranslit;
    if (lower == "unicode" || lower == "4") return kUnicode;
    return std::nullopt;
}

}  // namespace litvorot
