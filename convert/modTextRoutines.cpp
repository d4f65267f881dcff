#include "convert/modTextRoutines.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <variant>

#include "convert/modCodePage.h"
#include "convert/modTranslit.h"

namespace litvorot {

std::u16string_view NextChar(std::u16string_view text, std::size_t& position) {
    const std::size_t at = position++;
    if (at < 1 || at > text.size()) return {};
    return text.substr(at - 1, 1);
}

std::u16string CodeToChar(TextFormat format, int code) {
    if (format == kUnicode) return std::u16string(1, static_cast<char16_t>(code));
    return std::u16string(1, ByteToChar(AnsiCodePage(), static_cast<unsigned char>(code)));
}

std::size_t CountLeadingSpaces(std::u16string_view text) {
    const std::size_t first = text.find_first_not_of(u' ');
    return first == std::u16string_view::npos ? text.size() : first;
}

std::size_t CountTrailingSpaces(std::u16string_view text) {
    if (text.size() < 2) return 0;
    std::size_t count = 0;
    for (std::size_t i = text.size() - 1; i-- > 0 && text[i] == u' ';) ++count;
    return count;
}

bool WriteLetter(TextFormat dest, LetterIndex index, std::u16string& out) {
    return std::visit(
        [&](const auto& value) -> bool {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return false;
            } else if constexpr (std::is_same_v<T, std::u16string_view>) {
                out.append(value);
                return true;
            } else if constexpr (std::is_same_v<T, std::uint8_t>) {
                out.push_back(ByteToChar(AnsiCodePage(), value));
                return true;
            } else {
                out.push_back(static_cast<char16_t>(value));
                return true;
            }
        },
        TableValue(dest, index));
}

LetterWriter::LetterWriter(TextFormat dest) : valid_(IsValidFormat(dest)) {
    if (!valid_) return;
    for (LetterIndex i = 1; i <= kLetterCount; ++i) {
        std::u16string form;
        WriteLetter(dest, i, form);
        Form& f = forms_[i];
        f.length = static_cast<unsigned char>(std::min<std::size_t>(form.size(), 4));
        std::copy_n(form.begin(), f.length, f.units);
        maxLength_ = std::max<std::size_t>(maxLength_, f.length);
    }
}

char16_t* LetterWriter::Write(LetterIndex index, char16_t* out) const {
    if (!valid_) {
        ReportInvalidTable();
        return nullptr;
    }
    const Form& f = forms_[index];
    for (unsigned char i = 0; i < f.length; ++i) *out++ = f.units[i];
    return out;
}

bool LetterWriter::Write(LetterIndex index, std::u16string& out) const {
    if (!valid_) {
        ReportInvalidTable();
        return false;
    }
    const Form& f = forms_[index];
    out.append(f.units, f.length);
    return true;
}

namespace {

// KOI8, CP 1251 and Unicode source: one character at a time through the tables. A character that
// is no letter of the source format is copied; so is a letter that the destination cannot write.
void ConvertPerCharacterPlain(std::u16string_view text, TextFormat source, TextFormat dest,
                              std::u16string& buffer) {
    for (const char16_t unit : text) {
        const LetterIndex index = TableIndex(source, static_cast<std::int16_t>(unit));
        if (index == 0 || !WriteLetter(dest, index, buffer)) buffer.push_back(unit);
    }
}

using PerCharacterPath = void (*)(std::u16string_view, TextFormat, TextFormat, std::u16string&);

void Convert(TextFormat source, TextFormat dest, std::u16string& text, PerCharacterPath perChar) {
    if (source == dest) return;
    const InvalidTableOnce once;

    std::u16string_view body(text);
    const std::size_t leading = CountLeadingSpaces(body);
    body.remove_prefix(leading);
    const std::size_t trailing = CountTrailingSpaces(body);
    const std::size_t last = body.find_last_not_of(u' ');
    body = body.substr(0, last == std::u16string_view::npos ? 0 : last + 1);

    // The work buffer holds what has been written; the part never written counts as spaces and
    // disappears when the result is assembled, as do spaces at either end of the written run.
    std::u16string buffer;
    if (source == kTranslit) {
        buffer.reserve(body.size());
        ReadTranslit(body, dest, buffer);
    } else {
        perChar(body, source, dest, buffer);
    }

    std::u16string_view run(buffer);
    const std::size_t first = run.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        run = {};
    } else {
        run = run.substr(first, run.find_last_not_of(u' ') - first + 1);
    }

    std::u16string result;
    result.reserve(leading + run.size() + trailing);
    result.append(leading, u' ');
    result.append(run);
    result.append(trailing, u' ');
    text = std::move(result);
}

// KOI8, CP 1251 or Unicode source with a valid destination, through the unit -> index map. The
// body's first and last characters are no spaces and convert into no spaces (letters are written
// as letters or marks, everything else is copied), so the converted run needs no trimming and the
// result is built in its final place: where the body stands when every letter is one unit, else
// in one string of the exact length. False when the formats do not allow this path.
bool ConvertMapped(TextFormat source, TextFormat dest, std::u16string& text) {
    const LetterIndex* map = CodeIndexMap(source);
    if (source == kTranslit || map == nullptr || !IsValidFormat(dest)) return false;
    const LetterWriter writer(dest);

    const std::size_t leading = CountLeadingSpaces(text);
    const std::u16string_view rest = std::u16string_view(text).substr(leading);
    const std::size_t trailing = CountTrailingSpaces(rest);
    const std::size_t last = rest.find_last_not_of(u' ');
    const std::u16string_view body =
        rest.substr(0, last == std::u16string_view::npos ? 0 : last + 1);

    if (writer.MaxLength() == 1) {
        std::array<char16_t, kCodeIndexSize> units{};
        for (std::size_t u = 0; u < kCodeIndexSize; ++u) {
            units[u] = map[u] == 0 ? static_cast<char16_t>(u) : writer.First(map[u]);
        }
        char16_t* const data = text.data();
        for (std::size_t i = leading, end = leading + body.size(); i < end; ++i) {
            const char16_t unit = data[i];
            if (unit < kCodeIndexSize) data[i] = units[unit];
        }
        text.resize(leading + body.size());
        text.append(trailing, u' ');
        return true;
    }

    // Every unit below kCodeIndexSize as it is written: a letter's form, or the unit itself.
    struct Form {
        char16_t units[4];
        std::size_t length;
    };
    std::array<Form, kCodeIndexSize> forms{};
    for (std::size_t u = 0; u < kCodeIndexSize; ++u) {
        Form& form = forms[u];
        form.units[0] = static_cast<char16_t>(u);
        form.length = 1;
        if (map[u] != 0)
            form.length = static_cast<std::size_t>(writer.Write(map[u], form.units) - form.units);
    }

    std::size_t length = leading + trailing;
    for (const char16_t unit : body) length += unit < kCodeIndexSize ? forms[unit].length : 1;

    // Every unit becomes at least one, so the converted run is written from its end backwards in
    // the text itself: each form lands at or behind the unit it comes from, over units already
    // read. The spaces of the end go first, behind everything the body will need.
    const std::size_t bodyLength = body.size();
    const std::size_t runEnd = length - trailing;
    text.resize(std::max(text.size(), length));
    char16_t* const data = text.data();
    std::fill(data + runEnd, data + length, u' ');
    char16_t* out = data + runEnd;
    for (std::size_t i = leading + bodyLength; i-- > leading;) {
        const char16_t unit = data[i];
        if (unit < kCodeIndexSize) {
            const Form& form = forms[unit];
            // One to four units, copied without a call to memcpy.
            out -= form.length;
            switch (form.length) {
                case 4:
                    out[3] = form.units[3];
                    [[fallthrough]];
                case 3:
                    out[2] = form.units[2];
                    [[fallthrough]];
                case 2:
                    out[1] = form.units[1];
                    [[fallthrough]];
                default:
                    out[0] = form.units[0];
            }
        } else {
            *--out = unit;
        }
    }
    text.resize(length);
    return true;
}

}  // namespace

void ConvertText(TextFormat source, TextFormat dest, std::u16string& text) {
    if (source == dest || ConvertMapped(source, dest, text)) return;
    Convert(source, dest, text, ConvertPerCharacterPlain);
}

void ConvertTextPlain(TextFormat source, TextFormat dest, std::u16string& text) {
    Convert(source, dest, text, ConvertPerCharacterPlain);
}

}  // namespace litvorot
