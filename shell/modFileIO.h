// The settings file: three CR LF lines (source format, destination format, status option) in
// settings.ini beside the executable, or in the user's config directory for an installed copy or
// when the executable's directory cannot be written. No Qt here, so that every front end shares it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "tables/modTables.h"

namespace litvorot {

inline constexpr std::string_view kSettingsFileName = "settings.ini";

// The three user settings, with the values of a first start.
struct Settings {
    TextFormat sourceFormat = kTranslit;
    TextFormat destFormat = kCp1251;
    bool displayStatus = false;
};

// True when `path` is not empty and names an ordinary file that is not hidden (its name does not
// start with a dot; on Windows, no hidden or system attribute). Directories, hidden files and
// anything that cannot be looked up give false.
bool FileExists(const std::filesystem::path& path);

// True when files can be created in `directory`.
bool DirectoryWritable(const std::filesystem::path& directory);

// The user's config directory: $XDG_CONFIG_HOME when it is set to an absolute path, else
// $HOME/.config; empty when neither is known. Null arguments count as unset.
std::filesystem::path UserConfigHome(const char* xdgConfigHome, const char* home);

// The data directory of an installed copy as seen from its executable's directory
// (<exeDir>/../share/litvorot); empty where the program installs none (Windows).
std::filesystem::path InstalledDataDir(const std::filesystem::path& exeDir);

// Where the settings live: settings.ini beside the executable when it exists there, or when the
// directory is writable and not an installed copy's (its InstalledDataDir exists: a program in
// /usr/bin run as root, or one installed in ~/.local); otherwise <configHome>/litvorot/settings.ini
// (when configHome is known).
std::filesystem::path SettingsPath(const std::filesystem::path& exeDir,
                                   const std::filesystem::path& configHome);

// What reading found. Values are given for the lines read before a bad or missing line; the
// caller applies them in order and gives the rest their defaults.
struct SettingsRead {
    enum class Outcome { NoFile, Read, Bad };
    Outcome outcome = Outcome::NoFile;
    std::optional<TextFormat> sourceFormat;
    std::optional<TextFormat> destFormat;
    std::optional<bool> displayStatus;
    std::string message;  // for Bad: names the file and the line
};

SettingsRead ReadSettingsFile(const std::filesystem::path& path);

// A number line: spaces around it ignored, a fraction rounded half to even, the result within
// -32768..32767. Nothing for anything else (an empty line included).
std::optional<TextFormat> ParseFormatLine(std::string_view line);

// A truth line: True or False in any letter case, or a number (0 false, any other true).
std::optional<bool> ParseStatusLine(std::string_view line);

// The file's bytes: " 3 \r\n 2 \r\nFalse\r\n" for the defaults; a negative number is written
// with its minus sign in place of the leading space.
std::string FormatSettings(const Settings& settings);

// Writes the settings atomically (a temporary file beside `path`, then a rename), creating the
// directory when needed. Empty on success, else a message naming the path and the reason. A
// settings.ini that is itself read-only is left alone and reported. A settings.ini that is a
// symbolic link stays one: its target is replaced, atomically in the target's directory. One that
// can be written in a directory that cannot is rewritten in place.
std::string SaveSettingsFile(const std::filesystem::path& path, const Settings& settings);

}  // namespace litvorot
