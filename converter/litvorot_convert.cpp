// litvorot-convert: the clipboard conversion as a command-line filter. Each input is converted as
// one clipboard text would be: terminated, converted, and cut at its first NUL.
#include <utf8.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "convert/modCodePage.h"
#include "convert/modTextRoutines.h"
#include "tables/modMessages.h"
#include "tables/modTables.h"

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

// Reads a whole file ("-" is standard input). Returns false with errno set on failure.
bool ReadAll(const std::string& path, std::string& data) {
    std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    data.clear();
    std::vector<char> chunk(1 << 20);
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), file)) > 0)
        data.append(chunk.data(), got);
    const bool ok = std::ferror(file) == 0;
    const int error = errno;
    if (file != stdin) std::fclose(file);
    errno = error;
    return ok;
}

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

// Converts one input; on success appends the output bytes to `out`.
bool ConvertOne(const Options& options, const std::string& name, const std::string& data,
                std::string& out) {
    std::u16string text;
    if (options.bytesIn) {
        text.resize(data.size());
        std::transform(data.begin(), data.end(), text.begin(),
                       [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
    } else {
        const auto invalid = utf8::find_invalid(data.begin(), data.end());
        if (invalid != data.end()) {
            Fail(name, "invalid UTF-8 at byte offset " + std::to_string(invalid - data.begin()));
            return false;
        }
        text.reserve(data.size() + 1);
        utf8::unchecked::utf8to16(data.begin(), data.end(), std::back_inserter(text));
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
            return false;
        }
        std::transform(text.begin(), text.end(), std::back_inserter(out),
                       [](char16_t c) { return static_cast<char>(c); });
    } else {
        // Valid UTF-8 in means no lone surrogates out; the conversion writes none of its own.
        utf8::unchecked::utf16to8(text.begin(), text.end(), std::back_inserter(out));
    }
    return true;
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

    SetMessageHook([](std::string_view text) { std::cerr << kProgram << ": " << text << '\n'; });
    BuildTables();

    int status = kExitOk;
    std::string data, out;
    for (const std::string& path : files) {
        const std::string name = path == "-" ? "standard input" : path;
        if (!ReadAll(path, data)) {
            Fail(name, std::strerror(errno));
            status = kExitFailure;
            continue;
        }
        out.clear();
        if (!ConvertOne(options, name, data, out)) {
            status = kExitFailure;
            continue;
        }
        if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() ||
            std::fflush(stdout) != 0) {
            Fail("standard output", std::strerror(errno));
            return kExitFailure;
        }
    }
    return status;
}
