// The tray program's command line. Without options it starts the tray program; the options drive
// a copy that already runs in the user's session:
//
//   litvorot [--source FORMAT] [--dest FORMAT] [--go] [--replace-selection] [--exit]
//
// No Qt here, so that the parsing is tested on its own.
#pragma once

#include <optional>
#include <string>

#include "tables/modTables.h"

namespace litvorot {

// Exit statuses of the options: 0 done, 1 no program runs, 2 a usage error; for --go, when the
// running program converted nothing (or for --replace-selection, replaced nothing): 3 no text on
// the clipboard (nothing selected), 4 its owner did not hand it over,
// 5 the text is over the limit, 6 not carried out otherwise (too many waiting, ending).
inline constexpr int kExitNotRunning = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoText = 3;
inline constexpr int kExitNoAnswer = 4;
inline constexpr int kExitTooLarge = 5;
inline constexpr int kExitNotConverted = 6;

struct RemoteCommand {
    std::optional<TextFormat> source;
    std::optional<TextFormat> dest;
    bool go = false;
    bool replaceSelection = false;
    bool exit = false;
    // True when anything is asked of the running program.
    bool Any() const { return source || dest || go || replaceSelection || exit; }
};

struct CommandLine {
    RemoteCommand remote;
    // Set when the program is to end at once with this status (help, version, a usage error),
    // after writing `output` to standard output and `error` to standard error.
    std::optional<int> exitStatus;
    std::string output;
    std::string error;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace litvorot
