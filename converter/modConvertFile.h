// One input of the converter, from its file to the output: through the direct path in pieces when
// the formats allow it, otherwise read whole and converted as one text.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "converter/modConvertInput.h"
#include "converter/modInput.h"
#include "converter/modOutput.h"
#include "converter/modStreamConvert.h"

namespace litvorot {

enum class FileOutcome {
    kConverted,     // the output is written
    kRefused,       // the input could not be read or converted; nothing of it is written
    kOutputFailed,  // writing the output failed
};

class FileConverter {
  public:
    // The tables and the ANSI code page must be ready.
    explicit FileConverter(const ConvertOptions& options);

    // Converts the file `path` ("-": standard input) and writes its output through `out`.
    // `message` says what went wrong for any outcome but kConverted.
    FileOutcome Convert(const std::string& path, HeldOutput& out, std::string& message);

    // The size of the pieces the direct path reads.
    static constexpr std::size_t kPiece = std::size_t{256} << 10;
    // Room in front of each piece for the bytes of a character cut at the end of the last one,
    // so that every read lands at the same aligned place.
    static constexpr std::size_t kFront = 64;

  private:
    FileOutcome Stream(int fd, HeldOutput& out, std::string& message);
    FileOutcome Mapped(int fd, long long size, HeldOutput& out, std::size_t& carried,
                       std::string& message);
    FileOutcome Pass(int fd, HeldOutput& out, bool again, bool through, std::size_t carried,
                     std::string& message);
    bool Write(HeldOutput& out, std::string& message, FileOutcome& outcome);
    void Hold(StreamConverter& stream, long long offset);
    FileOutcome Whole(const std::string& path, HeldOutput& out, std::string& message);

    ConvertOptions options_;
    std::optional<StreamConverter> stream_;
    // A regular file whose output would outgrow what memory holds is checked to its end first
    // (the output going to `scratch_`, dropped piece by piece), then read again from where the
    // held output ends: `resume_` is the converter there, `resumeAt_` the file's offset.
    std::optional<StreamConverter> resume_;
    long long resumeAt_ = 0;
    bool checkedOnly_ = false;  // the rest was checked for malformed UTF-8 only
    HeldOutput scratch_{-1};
    struct Free {
        void operator()(char* memory) const;
    };
    std::unique_ptr<char, Free> piece_;  // kFront + kPiece bytes, aligned to a page
    MappedFile map_;
    Input input_;
    std::u16string text_;
    ByteBuffer whole_;
};

}  // namespace litvorot
