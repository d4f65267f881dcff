#include "converter/modConvertFile.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace litvorot {

void FileConverter::Free::operator()(char* memory) const { std::free(memory); }

FileConverter::FileConverter(const ConvertOptions& options) : options_(options) {
    if (StreamConverter::Handles(options)) {
        stream_.emplace(options);
        // The kernel copies a file into memory several times slower where the place it copies
        // to is not aligned (seven times on the machine the benchmarks ran on).
        piece_.reset(static_cast<char*>(std::aligned_alloc(4096, kFront + kPiece)));
        if (!piece_) throw std::bad_alloc();
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
    char* const at = piece_.get() + kFront;
    for (;;) {
        const auto got = ::read(fd, at, kPiece);
        if (got < 0) {
            if (errno == EINTR) continue;
            message = std::strerror(errno);
            out.Discard();
            return FileOutcome::kRefused;
        }
        const bool last = got == 0;
        const std::size_t size = carried + static_cast<std::size_t>(got);
        if (!stream.Settled()) {
            char* const from = at - carried;
            const std::size_t took = stream.Feed({from, size}, last, out);
            carried = size - took;
            // What is left (at most the first three bytes of a character) goes in front of where
            // the next piece lands.
            if (carried > kFront) std::abort();
            std::memmove(at - carried, from + took, carried);
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
