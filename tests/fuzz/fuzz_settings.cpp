// Fuzzes the settings reader with arbitrary file contents. Whatever the file holds, reading ends
// with a known outcome; a file that reads whole gives values that write back and read again the
// same; a bad file names itself in its message and keeps the values of the lines before the bad
// one.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "shell/modFileIO.h"

using namespace litvorot;
using fuzz::Check;

namespace {

std::filesystem::path ScratchFile() {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("litvorot-fuzz-settings-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir / "settings.ini";
}

void Write(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path path = ScratchFile();
    Write(path, data, size);
    const SettingsRead read = ReadSettingsFile(path);

    if (read.outcome == SettingsRead::Outcome::Read) {
        Check(read.sourceFormat && read.destFormat && read.displayStatus);
        const Settings settings{*read.sourceFormat, *read.destFormat, *read.displayStatus};
        const std::string bytes = FormatSettings(settings);
        Write(path, bytes.data(), bytes.size());
        const SettingsRead again = ReadSettingsFile(path);
        Check(again.outcome == SettingsRead::Outcome::Read);
        Check(again.sourceFormat == read.sourceFormat && again.destFormat == read.destFormat &&
              again.displayStatus == read.displayStatus);
    } else {
        Check(read.outcome == SettingsRead::Outcome::Bad);
        Check(read.message.find(path.string()) != std::string::npos);
        // Values stop at the first bad line.
        Check(!read.displayStatus);
        Check(!read.destFormat || read.sourceFormat);
    }
    return 0;
}
