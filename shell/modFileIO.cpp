#include "shell/modFileIO.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include "shell/modFileIO_platform.h"

namespace litvorot {
namespace fs = std::filesystem;

namespace {

// A line longer than this cannot hold a sensible value.
constexpr std::size_t kMaxLineLength = 256;

// Messages are UTF-8. On Windows path::string() would go through the ANSI code page, which
// cannot hold every folder name (and throws on the ones it cannot).
std::string Quoted(const fs::path& path) {
    const std::u8string name = path.u8string();
    return "\"" + std::string(name.begin(), name.end()) + "\"";
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number: an optional sign, digits with an optional fraction, an optional exponent.
std::optional<double> ParseNumber(std::string_view text) {
    text = TrimSpaces(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t mantissa = i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < text.size() && IsDigit(text[i])) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    double value = 0;
    const char* begin = text.data() + mantissa;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    // Numbers beyond what a double holds (1e999, 1e-999) are refused, like any other surprise.
    if (ptr != end || ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

enum class LineResult { Line, End, TooLong };

// A line ends at CR or CR LF; a lone LF belongs to the line. The last line may end at the end
// of the file; nothing left to read gives End.
LineResult ReadLine(std::istream& in, std::string& line) {
    line.clear();
    bool any = false;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        any = true;
        if (c == '\r') {
            if (in.peek() == '\n') in.get();
            return LineResult::Line;
        }
        if (line.size() == kMaxLineLength) return LineResult::TooLong;
        line.push_back(static_cast<char>(c));
    }
    return any ? LineResult::Line : LineResult::End;
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

void AppendNumber(std::string& out, TextFormat value) {
    out += value < 0 ? "-" : " ";
    const int magnitude = value < 0 ? -static_cast<int>(value) : value;
    out += std::to_string(magnitude);
    out += " \r\n";
}

}  // namespace

bool FileExists(const fs::path& path) {
    if (path.empty()) return false;
    // Hidden files are not found, as a directory listing without hidden entries would not show
    // them: a leading dot here, the hidden or system attribute on Windows.
    const fs::path::string_type name = path.filename().native();
    if (name.empty() || name.front() == '.') return false;
    if (fileio::HiddenByAttribute(path)) return false;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    return !ec && fs::is_regular_file(status);
}

bool DirectoryWritable(const fs::path& directory) {
    std::error_code ec;
    if (!fs::is_directory(directory, ec)) return false;
    return fileio::MayCreateIn(directory);
}

fs::path UserConfigHome(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome != nullptr && *xdgConfigHome != '\0') {
        fs::path xdg(xdgConfigHome);
        if (xdg.is_absolute()) return xdg;
    }
    if (home != nullptr && *home != '\0') return fs::path(home) / ".config";
    return {};
}

fs::path InstalledDataDir(const fs::path& exeDir) {
#ifdef LITVOROT_DATA_RELATIVE_DIR
    return (exeDir / LITVOROT_DATA_RELATIVE_DIR).lexically_normal();
#else
    (void)exeDir;
    return {};
#endif
}

fs::path SettingsPath(const fs::path& exeDir, const fs::path& configHome) {
    const fs::path beside = exeDir / kSettingsFileName;
    if (FileExists(beside) || configHome.empty()) return beside;
    // An installed program keeps the user's settings out of its bin/ even where it could write
    // there, as root or in a prefix the user owns.
    std::error_code ec;
    const fs::path dataDir = InstalledDataDir(exeDir);
    const bool installed = !dataDir.empty() && fs::is_directory(dataDir, ec);
    if (DirectoryWritable(exeDir) && !installed) return beside;
    return configHome / "litvorot" / kSettingsFileName;
}

std::optional<TextFormat> ParseFormatLine(std::string_view line) {
    const std::optional<double> number = ParseNumber(line);
    if (!number) return std::nullopt;
    const double rounded = std::nearbyint(*number);  // the default rounding: halves to even
    if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
    return static_cast<TextFormat>(rounded);
}

std::optional<bool> ParseStatusLine(std::string_view line) {
    const std::string_view word = TrimSpaces(line);
    if (EqualsIgnoringCase(word, "true")) return true;
    if (EqualsIgnoringCase(word, "false")) return false;
    const std::optional<double> number = ParseNumber(word);
    if (!number) return std::nullopt;
    return *number != 0;
}

SettingsRead ReadSettingsFile(const fs::path& path) {
    SettingsRead result;
    if (!FileExists(path)) return result;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.outcome = SettingsRead::Outcome::Bad;
        result.message = "Could not read the settings file " + Quoted(path) + ": " +
                         ErrnoText(errno) + ". The default settings apply.";
        return result;
    }
    result.outcome = SettingsRead::Outcome::Read;
    std::string line;
    for (int number = 1; number <= 3; ++number) {
        const LineResult got = ReadLine(in, line);
        bool good = false;
        if (got == LineResult::Line) {
            if (number == 1) {
                result.sourceFormat = ParseFormatLine(line);
                good = result.sourceFormat.has_value();
            } else if (number == 2) {
                result.destFormat = ParseFormatLine(line);
                good = result.destFormat.has_value();
            } else {
                result.displayStatus = ParseStatusLine(line);
                good = result.displayStatus.has_value();
            }
        }
        if (!good) {
            result.outcome = SettingsRead::Outcome::Bad;
            const std::string what = got == LineResult::End
                                         ? "ends before line " + std::to_string(number)
                                         : "has no valid value in line " + std::to_string(number);
            result.message = "The settings file " + Quoted(path) + " " + what +
                             ". The settings from that line on take their default values.";
            return result;
        }
    }
    return result;
}

std::string FormatSettings(const Settings& settings) {
    std::string out;
    AppendNumber(out, settings.sourceFormat);
    AppendNumber(out, settings.destFormat);
    out += settings.displayStatus ? "True\r\n" : "False\r\n";
    return out;
}

namespace {

bool FolderRefused(int error) { return error == EACCES || error == EPERM || error == EROFS; }

}  // namespace

std::string SaveSettingsFile(const fs::path& path, const Settings& settings) {
    auto failure = [&path](const std::string& reason) {
        return "Could not save the settings to " + Quoted(path) + ": " + reason + ".";
    };
    std::error_code ec;
    // A settings.ini that is a symbolic link keeps being one: the file it points to is replaced,
    // with the temporary file beside that file.
    const fs::path target = fileio::FollowLinks(path);
    if (target.empty()) return failure(ErrnoText(ELOOP));
    const fs::path directory = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(directory, ec)) {
        fs::create_directories(directory, ec);
        if (ec) return failure(ec.message());
    }
    const bool replacing = fs::exists(target, ec);
    const bool replacingFile = replacing && fs::is_regular_file(target, ec);
    if (replacingFile) {
        if (const int refused = fileio::ReplaceRefused(target)) return failure(ErrnoText(refused));
    }

    fileio::RemoveLeftoverTemporaries(target);
    const std::string content = FormatSettings(settings);
    fs::path temporary;
    bool opened = false;
    if (const int error = fileio::WriteTemporaryFile(target, content, temporary, opened)) {
        // The temporary file could not be made beside the settings: the folder cannot be
        // written. A settings file there that can itself be written is then rewritten in place,
        // which is all a read-only folder allows.
        if (!opened && replacingFile && FolderRefused(error) && fileio::FileWritable(target)) {
            const int inPlace = fileio::RewriteInPlace(target, content);
            return inPlace == 0 ? std::string() : failure(ErrnoText(inPlace));
        }
        return failure(ErrnoText(error));
    }
    if (replacing) {
        const fs::perms perms = fs::status(target, ec).permissions();
        if (!ec) fs::permissions(temporary, perms, ec);
    }
    if (const int error = fileio::ReplaceWith(temporary, target)) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return failure(ErrnoText(error));
    }
    return {};
}

}  // namespace litvorot
