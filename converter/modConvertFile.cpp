#include "converter/modConvertFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "converter/modSystem.h"

namespace litvorot {

void FileConverter::Free::operator()(char* memory) const { std::free(memory); }

FileConverter::FileConverter(const ConvertOptions& options) : options_(options) {
    if (StreamConverter::Handles(options)) {
        stream_.emplace(options);
        // The kernel copies a file into memory several times slower where the place it copies
        // to is not aligned (seven times on the machine the benchmarks ran on).
        // aligned_alloc wants a size that is a whole number of alignments.
        constexpr std::size_t kPage = 4096;
        constexpr std::size_t kBytes = (kFront + kPiece + kPage - 1) / kPage * kPage;
        piece_.reset(static_cast<char*>(std::aligned_alloc(kPage, kBytes)));
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

// Writes what `out` holds; false, with `outcome` and `message` set, when that fails.
bool FileConverter::Write(HeldOutput& out, std::string& message, FileOutcome& outcome) {
    bool outputFailed = false;
    if (out.Flush(message, outputFailed)) return true;
    outcome = outputFailed ? FileOutcome::kOutputFailed : FileOutcome::kRefused;
    return false;
}

FileOutcome FileConverter::Stream(int fd, HeldOutput& out, std::string& message) {
    StreamConverter& stream = *stream_;
    stream.Reset();
    out.Discard();
    resume_.reset();
    checkedOnly_ = false;
    const long long size = os::RegularFileSize(fd);
    const bool again = size >= 0;
    std::size_t carried = 0;
    if (again) {
        const FileOutcome mapped = Mapped(fd, size, out, carried, message);
        if (mapped != FileOutcome::kConverted) return mapped;
    }
    FileOutcome outcome = Pass(fd, out, again, false, carried, message);
    if (outcome != FileOutcome::kConverted) return outcome;
    if (!stream.Finish(message)) {
        out.Discard();
        return FileOutcome::kRefused;
    }
    if (!resume_) return Write(out, message, outcome) ? FileOutcome::kConverted : outcome;

    // The whole input is accepted: what is held goes out, and the rest is converted again from
    // where holding stopped, written as it comes. A temporary file would cost more than the
    // second reading: writing the output there and reading it back goes through the kernel twice.
    const bool checkedOnly = checkedOnly_;
    const std::size_t written = stream.Written();
    if (os::Seek(fd, resumeAt_, os::SeekFrom::kStart) < 0) {
        message = std::strerror(errno);
        out.Discard();
        return FileOutcome::kRefused;
    }
    if (!Write(out, message, outcome)) return outcome;
    stream = *resume_;
    resume_.reset();
    outcome = Pass(fd, out, false, true, 0, message);
    if (outcome != FileOutcome::kConverted) return outcome;
    if (!stream.Finish(message) || (!checkedOnly && stream.Written() != written)) {
        out.Discard();
        message = "changed while it was read: its output is cut short";
        return FileOutcome::kRefused;
    }
    return Write(out, message, outcome) ? FileOutcome::kConverted : outcome;
}

// Converts a regular file from the descriptor's offset to `size` straight from a mapping of it:
// the kernel then copies nothing, which reading it would (a fifth of the whole run for 10 MB). The
// offset is left at `size` and the bytes of a character cut there in front of the piece buffer
// (`carried`), where Pass goes on with what the file may have grown by. Where the output would
// outgrow what memory may hold, the rest is checked, as Pass does, and read again from there.
// Small files and files that cannot be mapped are left to Pass.
FileOutcome FileConverter::Mapped(int fd, long long size, HeldOutput& out, std::size_t& carried,
                                  std::string& message) {
    carried = 0;
    const long long at = os::Seek(fd, 0, os::SeekFrom::kCurrent);
    if (at < 0 || size - at < static_cast<long long>(kPiece)) return FileOutcome::kConverted;
    const auto bytes = static_cast<std::size_t>(size - at);
    if (!map_.Map(fd, at, bytes)) return FileOutcome::kConverted;
    map_.AdviseSequential();
    out.Expect(std::min(stream_->MostOutput(bytes), out.MemoryLimit()));
    // What a page gone from under the mapping stops half-way: nothing but the converter's loops,
    // which hold nothing that dropping the input would not drop.
    struct Run {
        FileConverter& self;
        HeldOutput& out;
        std::string& message;
        FileOutcome outcome = FileOutcome::kConverted;
        long long at;
        std::size_t carried = 0;
    } run{*this, out, message, FileOutcome::kConverted, at};
    const bool read = map_.Read(
        [](void* context) {
            Run& r = *static_cast<Run*>(context);
            StreamConverter& stream = *r.self.stream_;
            const std::string_view all = r.self.map_.Bytes();
            HeldOutput* sink = &r.out;
            std::size_t done = 0;
            for (std::size_t end = 0; end < all.size() && !stream.Settled();) {
                // A piece ends where the next begins, or at the end of the mapping, where what
                // a cut character leaves goes on to Pass.
                end = std::min(all.size(), end + kPiece);
                if (sink == &r.out && !stream.CannotFail() && stream.Converting() &&
                    r.out.Size() + stream.MostOutput(end - done) > r.out.MemoryLimit()) {
                    r.self.Hold(stream, r.at + static_cast<long long>(done));
                    sink = &r.self.scratch_;
                }
                done += stream.Feed(all.substr(done, end - done), false, *sink);
                if (sink == &r.self.scratch_) r.self.scratch_.Discard();
                // What no later piece can refuse need not wait for the end.
                if (stream.CannotFail() && r.out.Size() >= kPiece &&
                    !r.self.Write(r.out, r.message, r.outcome)) {
                    return;
                }
            }
            if (stream.Settled()) return;
            r.carried = all.size() - done;
            if (r.carried > kFront) std::abort();
            std::memcpy(r.self.piece_.get() + kFront - r.carried, all.data() + done, r.carried);
        },
        &run);
    map_.Unmap();
    if (!read) {
        out.Discard();
        message = "changed while it was read: part of it could no longer be read";
        return FileOutcome::kRefused;
    }
    if (run.outcome != FileOutcome::kConverted) return run.outcome;
    if (os::Seek(fd, size, os::SeekFrom::kStart) < 0) {
        message = std::strerror(errno);
        out.Discard();
        return FileOutcome::kRefused;
    }
    carried = run.carried;
    return FileOutcome::kConverted;
}

// Stops holding the output: the converter as it is at `offset` of the file is kept to go on from
// there once the rest has been checked.
void FileConverter::Hold(StreamConverter& stream, long long offset) {
    resume_.emplace(stream);
    resumeAt_ = offset;
    // Where only malformed UTF-8 can refuse the input, the rest need not be converted twice:
    // checking it is enough.
    checkedOnly_ = stream.CheckOnly();
}

// Reads `fd` to its end through the converter into `out`. With `again` the output is held in
// memory only up to its limit, the rest of the file checked without keeping its output; with
// `through` (or when no later piece can refuse the input) it is written as it comes.
// `carried` bytes of a character cut before the descriptor's offset are already in front of the
// piece buffer.
FileOutcome FileConverter::Pass(int fd, HeldOutput& out, bool again, bool through,
                                std::size_t carried, std::string& message) {
    StreamConverter& stream = *stream_;
    // The mapping may have stopped holding already.
    HeldOutput* sink = resume_ ? &scratch_ : &out;
    char* const at = piece_.get() + kFront;
    for (;;) {
        if (again && sink == &out && !through && !stream.CannotFail() && stream.Converting() &&
            out.Size() + stream.MostOutput(carried + kPiece) > out.MemoryLimit()) {
            const long long position = os::Seek(fd, 0, os::SeekFrom::kCurrent);
            if (position >= 0) {
                Hold(stream, position - static_cast<long long>(carried));
                sink = &scratch_;
            }
        }
        const long long got = os::ReadSome(fd, at, kPiece);
        if (got < 0) {
            message = std::strerror(errno);
            out.Discard();
            return FileOutcome::kRefused;
        }
        const bool last = got == 0;
        const std::size_t size = carried + static_cast<std::size_t>(got);
        if (!stream.Settled()) {
            char* const from = at - carried;
            const std::size_t took = stream.Feed({from, size}, last, *sink);
            carried = size - took;
            // What is left (at most the first three bytes of a character) goes in front of where
            // the next piece lands.
            if (carried > kFront) std::abort();
            std::memmove(at - carried, from + took, carried);
        }
        if (sink == &scratch_) {
            scratch_.Discard();
        } else if ((through || stream.CannotFail()) && out.Size() >= kPiece) {
            // What no later piece can refuse need not wait for the end.
            FileOutcome outcome = FileOutcome::kConverted;
            if (!Write(out, message, outcome)) return outcome;
        }
        if (last) break;
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
    if (!os::WriteAll(out.Fd(), output->data(), output->size())) {
        message = std::strerror(errno);
        return FileOutcome::kOutputFailed;
    }
    return FileOutcome::kConverted;
}

}  // namespace litvorot
