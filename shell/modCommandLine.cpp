#include "shell/modCommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>
#include <vector>

#include "convert/modFormatName.h"
#include "detect/modDetect.h"

namespace litvorot {
namespace {

constexpr const char* kProgram = "litvorot";

constexpr const char* kDescription =
    "Litvorot converts Russian text on the clipboard between Translit, KOI8, CP 1251 and\n"
    "Unicode. Started without options it lives in the tray: copy a text, press Ctrl+Space (or\n"
    "choose Go in the tray menu) and paste the converted text. Only one copy runs per session;\n"
    "starting another one leaves the running copy as it is.\n"
    "\n"
    "The options below drive the copy that runs, for instance from a desktop shortcut. They are\n"
    "carried out in the order --source, --dest, --go, --replace-selection, --exit.\n";

constexpr const char* kFooter =
    "\nFORMAT is translit, koi8, cp1251, unicode (any case) or 1-4, and the source may also be "
    "auto\n"
    "(5), which repairs whatever garbled Russian was copied; the tray menu's check marks\n"
    "follow. Bind `litvorot --go` to a shortcut where Ctrl+Space is not available, or one\n"
    "shortcut per direction, e.g. `litvorot --source koi8 --dest unicode --go`.\n"
    "\n"
    "Exit status: 0 once the running copy has done it (for --go: the converted text is on the\n"
    "clipboard), 1 when no copy runs, 2 for a usage error; when --go or --replace-selection\n"
    "converted nothing: 3 no text on the clipboard or nothing selected, 4 the program holding\n"
    "it did not hand it over, 5 the text is too long, 6 not carried out otherwise.";

// Checks a FORMAT argument; CLI11 reports the message as a usage error.
std::string CheckFormat(const std::string& value) {
    if (ParseFormatName(value)) return {};
    return "unknown format '" + value + "' (use " + kFormatNamesHelp + ")";
}

// The source may also be the automatic one.
std::string CheckSourceFormat(const std::string& value) {
    return IsAutoFormatName(value) ? std::string() : CheckFormat(value);
}

#ifndef _WIN32
// The standard options of the Qt toolkit (one dash), which QApplication takes for itself; the
// first group takes a value.
const char* const kToolkitOptionsWithValue[] = {
    "-display",       "-platform",     "-platformpluginpath",
    "-platformtheme", "-plugin",       "-qwindowgeometry",
    "-qwindowicon",   "-qwindowtitle", "-style",
    "-stylesheet",    "-geometry",     "-title",
    "-name",          "-session",      "-visual",
    "-ncols",         "-cmap",         "-dialogs",
    "-qmljsdebugger"};
const char* const kToolkitFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
#endif

// The arguments for this program: all but the toolkit's options and their values (the Windows
// program has no toolkit).
std::vector<std::string> OwnArguments(int argc, const char* const* argv) {
    std::vector<std::string> own;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        bool toolkit = false;
#ifndef _WIN32
        for (const char* option : kToolkitFlags) toolkit = toolkit || arg == option;
        for (const char* option : kToolkitOptionsWithValue) {
            if (arg == option) {
                toolkit = true;
                if (i + 1 < argc) ++i;
            } else if (arg.rfind(std::string(option) + "=", 0) == 0) {
                toolkit = true;
            }
        }
#endif
        if (!toolkit) own.push_back(arg);
    }
    return own;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine result;
    CLI::App app{kDescription, kProgram};
    app.footer(kFooter);
    std::string source, dest;
    app.add_option("--source", source, "Set the source format (FORMAT, or auto)")
        ->type_name("FORMAT")
        ->check(CLI::Validator(CheckSourceFormat, "", "format"));
    app.add_option("--dest", dest, "Set the destination format")
        ->type_name("FORMAT")
        ->check(CLI::Validator(CheckFormat, "", "format"));
    app.add_flag("--go", result.remote.go, "Convert the clipboard, as Ctrl+Space and Go do");
    app.add_flag("--replace-selection", result.remote.replaceSelection,
                 "Convert the text selected in the window in front where it stands, as "
                 "Shift+Pause does; the clipboard is left as it was");
    app.add_flag("--exit", result.remote.exit,
                 "Exit, as the menu's Exit does (saves the settings)");
    app.set_version_flag("--version", std::string(kProgram) + " " + LITVOROT_VERSION);

    std::ostringstream out, err;
    try {
        // CLI11 takes the arguments last to first.
        std::vector<std::string> own = OwnArguments(argc, argv);
        std::reverse(own.begin(), own.end());
        app.parse(own);
    } catch (const CLI::Success& e) {  // --help, --version
        result.exitStatus = app.exit(e, out, err);
        result.output = out.str();
        result.error = err.str();
        return result;
    } catch (const CLI::ParseError& e) {
        result.exitStatus = kExitUsage;
        result.error =
            std::string(kProgram) + ": " + e.what() + "\nRun 'litvorot --help' for the options.\n";
        return result;
    }
    if (!source.empty()) {
        result.remote.source = IsAutoFormatName(source) ? kAuto : *ParseFormatName(source);
    }
    if (!dest.empty()) result.remote.dest = ParseFormatName(dest);
    return result;
}

}  // namespace litvorot
