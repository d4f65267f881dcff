// litvorot-convert: the clipboard conversion as a command-line filter. Each input is converted as
// one clipboard text would be: terminated, converted, and cut at its first NUL.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "convert/modCodePage.h"
#include "convert/modFormatName.h"
#include "converter/modConvertFile.h"
#include "converter/modSystem.h"
#include "detect/modDetect.h"
#include "tables/modMessages.h"
#include "tables/modTables.h"

namespace {

using namespace litvorot;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgram = "litvorot-convert";

// The four formats by name or code, and the automatic source.
std::optional<TextFormat> ParseFormat(const std::string& name) {
    if (IsAutoFormatName(name)) return kAuto;
    return ParseFormatName(name);
}

void Fail(const std::string& name, const std::string& message) {
    std::cerr << kProgram << ": " << name << ": " << message << '\n';
}

// The readings of one input, the one used first, with their scores (log2 of the probability);
// for a reading in pieces, each piece with its own reading and where it lies.
void Explain(const std::string& name, const std::vector<Reading>& readings) {
    std::cerr << kProgram << ": " << name << ": readings, the one used first:\n";
    const auto score = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%10.1f", value);
        return std::string(text);
    };
    for (const Reading& r : readings) {
        std::cerr << score(r.score) << "  " << ReadingName(r.kind) << '\n';
        for (const Piece& piece : r.pieces) {
            std::cerr << score(piece.score) << "      " << ReadingName(piece.kind) << ": ";
            if (piece.firstLine == piece.lastLine) {
                std::cerr << "line " << piece.firstLine;
            } else {
                std::cerr << "lines " << piece.firstLine << "-" << piece.lastLine;
            }
            std::cerr << ", characters " << piece.begin + 1 << "-" << piece.end << '\n';
        }
    }
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
    ConvertOptions options;
    bool explain = false;
    std::vector<Reading> readings;
    app.add_option("-f,--from", from,
                   "Source format: translit, koi8, cp1251, unicode or 1-4, or auto (5)")
        ->required();
    app.add_option("-t,--to", to, "Destination format: translit, koi8, cp1251, unicode or 1-4")
        ->required();
    app.add_option("--codepage", codePage,
                   "ANSI code page that KOI8 and CP 1251 output is written in (default: from the "
                   "locale)")
        ->check(CLI::IsMember({1251, 1252}));
    app.add_flag("--bytes-in", options.bytesIn, "Read each input byte as the character U+00nn");
    app.add_flag("--bytes-out", options.bytesOut, "Write each output character U+00nn as a byte");
    app.add_flag("--explain", explain,
                 "With --from auto: list each input's readings and scores on standard error");
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
            std::cerr << kProgram << ": unknown format '" << *text << "' (use " << kFormatNamesHelp
                      << ", or auto)\n";
            return kExitUsage;
        }
        if (*format == kAuto && target == &options.to) {
            std::cerr << kProgram << ": auto is a source format only\n";
            return kExitUsage;
        }
        *target = *format;
    }
    if (explain) options.readings = &readings;
    if (codePage != 0) SetAnsiCodePage(codePage);
    if (files.empty()) files.emplace_back("-");

    SetMessageHook([](std::string_view text) { std::cerr << kProgram << ": " << text << '\n'; });
    BuildTables();

    int status = kExitOk;
    FileConverter converter(options);
    HeldOutput out(os::kStandardOutput);
    for (const std::string& path : files) {
        const std::string name = path == "-" ? "standard input" : path;
        std::string error;
        const FileOutcome outcome = converter.Convert(path, out, error);
        if (outcome == FileOutcome::kOutputFailed) {
            Fail("standard output", error);
            return kExitFailure;
        }
        if (outcome == FileOutcome::kRefused) {
            Fail(name, error);
            status = kExitFailure;
            continue;
        }
        if (explain && options.from == kAuto) Explain(name, readings);
    }
    return status;
}
