// litvorot-convert: the clipboard conversion as a command-line filter. Each input is converted as
// one clipboard text would be: terminated, converted, and cut at its first NUL.
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>
#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"
#include "tables/modMessages.h"
#include "tables/modTables.h"

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef STDIN_FILENO
#define STDIN_FILENO 0
#endif

namespace {

using namespace litvorot;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgram = "litvorot-convert";

std::optional<TextFormat> ParseFormat(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == "koi8" || name == "1") return kKoi8;
    if (name == "cp1251" || name == "2") return kCp1251;
    if (name == "translit" || name == "3") return kTranslit;
    if (name == "unicode" || name == "4") return kUnicode;
    return std::nullopt;
}

// Reads a whole file ("-" is standard input) in as few reads as its size allows. Returns false
// with errno set on failure.
bool ReadAll(const std::string& path, std::string& data) {
    const int fd =
        path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_BINARY);
    if (fd < 0) return false;
    struct stat info {};
    std::size_t chunk = 1 << 20;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        chunk = static_cast<std::size_t>(info.st_size) + 1;  // +1: the read that sees the end
    }
    data.clear();
    bool ok = true;
    std::size_t used = 0;
    for (;;) {
        if (data.size() - used < chunk) data.resize(used + chunk);
        const ssize_t got = ::read(fd, data.data() + used, data.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    const int error = errno;
    data.resize(used);
    if (fd != STDIN_FILENO) ::close(fd);
    errno = error;
    return ok;
}

// One input's bytes: a regular file is mapped (its pages come straight from the page cache),
// anything else is read into memory.
class Input {
  public:
    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input() { Unmap(); }

    // Returns false with errno set when the input cannot be read.
    bool Load(const std::string& path) {
        Unmap();
#ifndef _WIN32
        if (path != "-") {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) return false;
            struct stat info {};
            if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
                const auto size = static_cast<std::size_t>(info.st_size);
                void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
                ::close(fd);
                if (map == MAP_FAILED) return false;
                map_ = map;
                mapSize_ = size;
                return true;
            }
            ::close(fd);
        }
#endif
        return ReadAll(path, buffer_);
    }

    std::string_view Bytes() const {
        if (map_ != nullptr) return {static_cast<const char*>(map_), mapSize_};
        return buffer_;
    }

  private:
    void Unmap() {
#ifndef _WIN32
        if (map_ != nullptr) ::munmap(map_, mapSize_);
#endif
        map_ = nullptr;
        mapSize_ = 0;
    }

    void* map_ = nullptr;
    std::size_t mapSize_ = 0;
    std::string buffer_;
};

// Makes room for `units` UTF-16 units. A large buffer is asked to be backed by huge pages before
// it is first touched: a 10 MB text otherwise costs thousands of page faults, a good part of the
// whole run.
void AdviseHugePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = 2u << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t end = begin + bytes;
    const std::uintptr_t from = (begin + kHuge - 1) & ~(kHuge - 1);
    if (end > from + kHuge) {
        ::madvise(reinterpret_cast<void*>(from), (end - from) & ~(kHuge - 1), MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)bytes;
#endif
}

void Reserve(std::u16string& text, std::size_t units) {
    if (text.capacity() >= units) return;
    text.reserve(units);
    AdviseHugePages(text.data(), text.capacity() * sizeof(char16_t));
}

// Output bytes: memory that is not filled before it is written.
class OutputBuffer {
  public:
    void Reserve(std::size_t bytes) {
        if (capacity_ >= bytes) return;
        data_.reset(new char[bytes]);
        capacity_ = bytes;
        AdviseHugePages(data_.get(), bytes);
    }
    char* Data() { return data_.get(); }

  private:
    std::unique_ptr<char[]> data_;
    std::size_t capacity_ = 0;
};

void Fail(const std::string& name, const std::string& message) {
    std::cerr << kProgram << ": " << name << ": " << message << '\n';
}

std::string Hex(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", value);
    return buffer;
}

struct Options {
    TextFormat from = 0;
    TextFormat to = 0;
    bool bytesIn = false;
    bool bytesOut = false;
};

// The byte offset of the first malformed UTF-8 sequence in `data` (ICU's own decoder decides).
std::size_t FirstInvalidOffset(std::string_view data) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    const auto length = static_cast<std::int32_t>(data.size());
    for (std::int32_t i = 0; i < length;) {
        const std::int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) return static_cast<std::size_t>(start);
    }
    return data.size();
}

// Converts one input. On success gives the output bytes, which lie in `text` or `out`.
std::optional<std::string_view> ConvertOne(const Options& options, const std::string& name,
                                           std::string_view data, std::u16string& text,
                                           OutputBuffer& out) {
    if (data.size() > static_cast<std::size_t>(INT32_MAX / 2)) {
        Fail(name, "too large (more than 1 GiB)");
        return std::nullopt;
    }
    if (options.bytesIn) {
        Reserve(text, data.size() + 1);
        text.resize(data.size());
        std::transform(data.begin(), data.end(), text.begin(),
                       [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
    } else {
        // Every character starts with one byte that is no continuation byte, and only the
        // four-byte ones need two UTF-16 units: the exact length of valid input.
        std::size_t units = 0;
        for (const char c : data) {
            const auto byte = static_cast<unsigned char>(c);
            units += static_cast<std::size_t>((byte & 0xC0) != 0x80) + (byte >= 0xF0);
        }
        // Room for Translit output too, which is converted where the text stands.
        Reserve(text, (options.to == kTranslit ? units * 4 : units) + 1);
        text.resize(units);
        UErrorCode error = U_ZERO_ERROR;
        std::int32_t length = 0;
        u_strFromUTF8(text.data(), static_cast<std::int32_t>(text.size()), &length, data.data(),
                      static_cast<std::int32_t>(data.size()), &error);
        if (U_FAILURE(error)) {
            Fail(name, "invalid UTF-8 at byte offset " + std::to_string(FirstInvalidOffset(data)));
            return std::nullopt;
        }
        text.resize(static_cast<std::size_t>(length));
    }

    text.push_back(u'\0');
    ConvertText(options.from, options.to, text);
    text.resize(std::min(text.size(), text.find(u'\0')));

    if (options.bytesOut) {
        const auto wide =
            std::find_if(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
        if (wide != text.end()) {
            Fail(name, "character " + Hex(*wide) + " at position " +
                           std::to_string(wide - text.begin() + 1) + " of the output is no byte");
            return std::nullopt;
        }
        // Narrowed where the text stands: byte i lands at or before unit i, which is read first.
        char* const bytes = reinterpret_cast<char*>(text.data());
        for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = static_cast<char>(text[i]);
        return std::string_view(bytes, text.size());
    }

    // At most three bytes for each unit; the pages beyond what is written are never touched.
    const std::size_t capacity = text.size() * 3;
    if (capacity > static_cast<std::size_t>(INT32_MAX)) {
        Fail(name, "output too large (more than 2 GiB)");
        return std::nullopt;
    }
    out.Reserve(capacity);
    UErrorCode error = U_ZERO_ERROR;
    std::int32_t length = 0;
    u_strToUTF8(out.Data(), static_cast<std::int32_t>(capacity), &length, text.data(),
                static_cast<std::int32_t>(text.size()), &error);
    if (U_FAILURE(error)) {
        // Only a lone surrogate can do this, and valid input holds none.
        Fail(name, "the output is no valid Unicode text");
        return std::nullopt;
    }
    return std::string_view(out.Data(), static_cast<std::size_t>(length));
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Converts Russian text between Translit, KOI8, CP 1251 and Unicode, the way the Litvorot\n"
        "hot key converts the clipboard. Input and output are UTF-8 unless --bytes-in/--bytes-out.",
        kProgram};
    std::string from, to;
    int codePage = 0;
    std::vector<std::string> files;
    Options options;
    app.add_option("-f,--from", from, "Source format: translit, koi8, cp1251, unicode or 1-4")
        ->required();
    app.add_option("-t,--to", to, "Destination format: translit, koi8, cp1251, unicode or 1-4")
        ->required();
    app.add_option("--codepage", codePage,
                   "ANSI code page that KOI8 and CP 1251 output is written in (default: from the "
                   "locale)")
        ->check(CLI::IsMember({1251, 1252}));
    app.add_flag("--bytes-in", options.bytesIn, "Read each input byte as the character U+00nn");
    app.add_flag("--bytes-out", options.bytesOut, "Write each output character U+00nn as a byte");
    app.add_option("files", files, "Input files (default, or -: standard input)");
    app.set_version_flag("--version", std::string(kProgram) + " " + LITVOROT_VERSION);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << kProgram << ": " << e.what() << "\nRun with --help for more information.\n";
        return kExitUsage;
    }

    for (auto [text, target] : {std::pair{&from, &options.from}, std::pair{&to, &options.to}}) {
        const auto format = ParseFormat(*text);
        if (!format) {
            std::cerr << kProgram << ": unknown format '" << *text
                      << "' (use translit, koi8, cp1251, unicode or 1-4)\n";
            return kExitUsage;
        }
        *target = *format;
    }
    if (codePage != 0) SetAnsiCodePage(codePage);
    if (files.empty()) files.emplace_back("-");

#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    SetMessageHook([](std::string_view text) { std::cerr << kProgram << ": " << text << '\n'; });
    BuildTables();

    int status = kExitOk;
    Input input;
    std::u16string text;
    OutputBuffer out;
    for (const std::string& path : files) {
        const std::string name = path == "-" ? "standard input" : path;
        if (!input.Load(path)) {
            Fail(name, std::strerror(errno));
            status = kExitFailure;
            continue;
        }
        const auto output = ConvertOne(options, name, input.Bytes(), text, out);
        if (!output) {
            status = kExitFailure;
            continue;
        }
        if (std::fwrite(output->data(), 1, output->size(), stdout) != output->size() ||
            std::fflush(stdout) != 0) {
            Fail("standard output", std::strerror(errno));
            return kExitFailure;
        }
    }
    return status;
}
