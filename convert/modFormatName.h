// The names of the four text formats on command lines: translit, koi8, cp1251, unicode (any
// case) or their codes 1 to 4.
#pragma once

#include <optional>
#include <string_view>

#include "tables/modTables.h"

namespace litvorot {

std::optional<TextFormat> ParseFormatName(std::string_view name);

// The automatic source's name, auto (any case) or its code 5; a source format only.
bool IsAutoFormatName(std::string_view name);

// "translit, koi8, cp1251, unicode or 1-4", for usage messages.
inline constexpr const char* kFormatNamesHelp = "translit, koi8, cp1251, unicode or 1-4";

}  // namespace litvorot
