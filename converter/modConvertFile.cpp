#include "converter/modConvertFile.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace litvorot {

FileConverter::FileConverter(const ConvertOptions& options) : options_(options) {
    if (StreamConverter::Handles(options)) {
        stream_.emplace(options);
        piece_.reset(new char[kPiece + 4]);
    }
}

FileOutcome FileConverter::Convert(const std::string& path, HeldOutput& out, std::string& message) {
    if (!stream_) return Whole(path, out, message);
    const int fd = OpenInput(path);
    if (fd < 0) {
        message = std::strerror(errno);
        return FileOutcome::kRefused;
    }
    const FileOutcome outcome = Stream(fd, out, message);
    CloseInput(fd);
    return outcome;
}

FileOutcome FileConverter::Stream(int fd, HeldOutput& out, std::string& message) {
    StreamConverter& stream = *stream_;
    stream.Reset();
    out.Discard();
    std::size_t carried = 0;  // bytes of a character cut at the end of the last piece
    for (;;) {
        const auto got = ::read(fd, piece_.get() + carried, kPiece);
        if (got < 0) {
            if (errno == EINTR) continue;
            message = std::strerror(errno);
            out.Discard();
            return FileOutcome::kRefused;
        }
        const bool last = got == 0;
        const std::size_t size = carried + static_cast<std::size_t>(got);
        if (!stream.Settled()) {
            const std::size_t took = stream.Feed({piece_.get(), size}, last, out);
            carried = size - took;
            std::memmove(piece_.get(), piece_.get() + took, carried);
        }
        // What no later piece can refuse need not wait for the end.
        if (stream.CannotFail() && out.Size() >= kPiece) {
            bool outputFailed = false;
            if (!out.Flush(message, outputFailed)) {
                return outputFailed ? FileOutcome::kOutputFailed : FileOutcome::kRefused;
            }
        }
        if (last) break;
    }
    if (!stream.Finish(message)) {
        out.Discard();
        return FileOutcome::kRefused;
    }
    bool outputFailed = false;
    if (!out.Flush(message, outputFailed)) {
        return outputFailed ? FileOutcome::kOutputFailed : FileOutcome::kRefused;
    }
    return FileOutcome::kConverted;
}

FileOutcome FileConverter::Whole(const std::string& path, HeldOutput& out, std::string& message) {
    out.Discard();
    if (!input_.Load(path)) {
        message = std::strerror(errno);
        return FileOutcome::kRefused;
    }
    const auto output = ConvertInput(options_, input_.Bytes(), text_, whole_, message);
    if (!output) return FileOutcome::kRefused;
    if (!WriteAll(out.Fd(), output->data(), output->size())) {
        message = std::strerror(errno);
        return FileOutcome::kOutputFailed;
    }
    return FileOutcome::kConverted;
}

}  // namespace litvorot
