#include "convert/modTranslit.h"

#include <algorithm>

#include "convert/modTextRoutines.h"

namespace litvorot {

namespace {

constexpr int kEnd = -1;  // what a read beyond the end of the text gives

}  // namespace

TranslitReader::TranslitReader(TextFormat dest) : writer_(dest) {
    // The letters that stand alone, as the table's first match gives them.
    for (const char16_t c : std::u16string_view(u"abvgdelmnoprufyABVGDELMNOPRUFY\"'")) {
        single_[c] = TableIndex(kTranslit, std::u16string_view(&c, 1));
    }
    // Where every letter is one unit, each ASCII character that is a rule of its own, reading
    // nothing after it, is written through a table.
    plain_ = writer_.Valid() && writer_.MaxLength() == 1;
    for (std::size_t c = 0; c < 128; ++c) {
        plainOf_[c] = static_cast<std::int32_t>(c);
        if (single_[c] != 0) plainOf_[c] = writer_.First(single_[c]);
    }
    for (const char16_t c : std::u16string_view(u"iIkKtTzZcCsS\\_<")) plainOf_[c] = -1;
}

void TranslitReader::ReadWhole(std::u16string_view text, std::u16string& out) {
    Begin(text, out);
    if (text.empty()) return;
    // The first character always starts a step; after it, the last character never starts a
    // rule, but an open verbatim section copies it.
    Steps(std::max<std::size_t>(text.size(), 2) - 1, text.size());
}

std::size_t TranslitReader::Read(std::u16string_view text, bool last, std::u16string& out) {
    Begin(text, out);
    if (last) {
        Steps(text.size(), text.size());
        return text.size();
    }
    // No rule reads more than four characters, so a step that starts four before the end reads
    // nothing of the next block.
    const std::size_t limit = text.size() < 3 ? 0 : text.size() - 3;
    Steps(limit, limit);
    return position_ - 1;
}

// Makes steps from the reading position while it is at most `limit`, or `verbatimLimit` inside a
// verbatim section.
void TranslitReader::Steps(std::size_t limit, std::size_t verbatimLimit) {
    for (;;) {
        if (!verbatim_) Plain(limit);
        if (position_ > (verbatim_ ? verbatimLimit : limit)) return;
        Step();
    }
}

// The run of characters from the reading position that are rules of their own.
void TranslitReader::Plain(std::size_t limit) {
    if (!plain_) return;
    std::size_t end = position_;
    while (end <= limit) {
        const char16_t c = text_[end - 1];
        if (c < 128 && plainOf_[c] < 0) break;
        ++end;
    }
    if (end == position_) return;
    const std::size_t at = out_->size();
    out_->resize(at + (end - position_));
    char16_t* o = out_->data() + at;
    for (std::size_t p = position_; p < end; ++p) {
        const char16_t c = text_[p - 1];
        *o++ = c < 128 ? static_cast<char16_t>(plainOf_[c]) : c;
    }
    position_ = end;
}

void TranslitReader::Begin(std::u16string_view text, std::u16string& out) {
    text_ = text;
    out_ = &out;
    position_ = 1;
}

int TranslitReader::Next() {
    const std::size_t at = position_++;
    return at <= text_.size() ? text_[at - 1] : kEnd;
}

namespace {

bool Is(int c, char16_t lower, char16_t upper) { return c == lower || c == upper; }

}  // namespace

void TranslitReader::Write(int c) {
    if (c != kEnd) out_->push_back(static_cast<char16_t>(c));
}

// Writes letter `index` for the rule that began at `start`. A destination that cannot write
// letters gets the rule's own characters back unchanged.
void TranslitReader::WriteLetterOf(LetterIndex index, std::size_t start) {
    if (!writer_.Write(index, *out_)) {
        out_->append(text_.substr(start - 1, position_ - start));
    }
}

void TranslitReader::Step() {
    if (verbatim_) return Verbatim();
    const std::size_t start = position_;
    const int c = Next();
    switch (c) {
        case u'a':
        case u'b':
        case u'v':
        case u'g':
        case u'd':
        case u'e':
        case u'l':
        case u'm':
        case u'n':
        case u'o':
        case u'p':
        case u'r':
        case u'u':
        case u'f':
        case u'y':
        case u'A':
        case u'B':
        case u'V':
        case u'G':
        case u'D':
        case u'E':
        case u'L':
        case u'M':
        case u'N':
        case u'O':
        case u'P':
        case u'R':
        case u'U':
        case u'F':
        case u'Y':
        case u'"':
        case u'\'': {
            const LetterIndex index = single_[c];
            if (index == 0) {
                Write(c);
            } else {
                WriteLetterOf(index, start);
            }
            return;
        }
        case u'i':
        case u'I': {
            const bool lower = c == u'i';
            const int n = Next();
            if (Is(n, u'a', u'A')) return WriteLetterOf(lower ? Letter(u'я') : Letter(u'Я'), start);
            if (Is(n, u'u', u'U')) return WriteLetterOf(lower ? Letter(u'ю') : Letter(u'Ю'), start);
            GiveBack(1);
            return WriteLetterOf(lower ? Letter(u'и') : Letter(u'И'), start);
        }
        case u'k':
        case u'K':
            return Digraph(c == u'k', u'h', u'H', Letter(u'х'), Letter(u'к'), start);
        case u't':
        case u'T':
            return Digraph(c == u't', u's', u'S', Letter(u'ц'), Letter(u'т'), start);
        case u'z':
        case u'Z':
            return Digraph(c == u'z', u'h', u'H', Letter(u'ж'), Letter(u'з'), start);
        case u'c':
        case u'C': {
            if (Is(Next(), u'h', u'H'))
                return WriteLetterOf(c == u'c' ? Letter(u'ч') : Letter(u'Ч'), start);
            GiveBack(1);
            return Write(c);
        }
        case u's':
        case u'S':
            return Sibilant(c == u's', start);
        case u'\\':
            return Escape(start);
        case u'_':
            return;  // the separator: ends the rule before it, writes nothing
        case u'<': {
            if (Next() == u'*') {
                verbatim_ = true;
                return;
            }
            GiveBack(1);
            return Write(c);
        }
        default:
            return Write(c);
    }
}

// A letter written with one Latin letter, or with two when `second` follows (either case).
void TranslitReader::Digraph(bool lower, char16_t second, char16_t secondUpper, LetterIndex pair,
                             LetterIndex single, std::size_t start) {
    const LetterIndex upper = kCaseOffset;
    if (Is(Next(), second, secondUpper)) {
        return WriteLetterOf(static_cast<LetterIndex>(lower ? pair : pair + upper), start);
    }
    GiveBack(1);
    WriteLetterOf(static_cast<LetterIndex>(lower ? single : single + upper), start);
}

// s: "shch" before "sh" before "s".
void TranslitReader::Sibilant(bool lower, std::size_t start) {
    const LetterIndex shch = lower ? Letter(u'щ') : Letter(u'Щ');
    const LetterIndex sh = lower ? Letter(u'ш') : Letter(u'Ш');
    const LetterIndex s = lower ? Letter(u'с') : Letter(u'С');
    if (!Is(Next(), u'h', u'H')) {
        GiveBack(1);
        return WriteLetterOf(s, start);
    }
    if (!Is(Next(), u'c', u'C')) {
        GiveBack(1);
        return WriteLetterOf(sh, start);
    }
    if (Is(Next(), u'h', u'H')) return WriteLetterOf(shch, start);
    GiveBack(2);
    WriteLetterOf(sh, start);
}

// \e \E \i \I for ё Ё й Й, \.e \.E for э Э, \' and \" for the marks themselves.
void TranslitReader::Escape(std::size_t start) {
    const int n = Next();
    switch (n) {
        case u'e':
            return WriteLetterOf(Letter(u'ё'), start);
        case u'E':
            return WriteLetterOf(Letter(u'Ё'), start);
        case u'i':
            return WriteLetterOf(Letter(u'й'), start);
        case u'I':
            return WriteLetterOf(Letter(u'Й'), start);
        case u'\'':
        case u'"':
            return Write(n);
        case u'.': {
            const int m = Next();
            if (m == u'e') return WriteLetterOf(Letter(u'э'), start);
            if (m == u'E') return WriteLetterOf(Letter(u'Э'), start);
            GiveBack(1);
            Write(u'\\');
            return Write(u'.');
        }
        default:
            GiveBack(1);
            return Write(u'\\');
    }
}

// <* ... *>: copied untouched, a character a step. A section the text never closes ends with the
// text, keeping what it copied.
void TranslitReader::Verbatim() {
    const int d = Next();
    if (d == u'*') {
        if (Next() == u'>') {
            verbatim_ = false;
            return;
        }
        GiveBack(1);
    }
    Write(d);
}

void ReadTranslit(std::u16string_view text, TextFormat dest, std::u16string& buffer) {
    TranslitReader(dest).ReadWhole(text, buffer);
}

}  // namespace litvorot
