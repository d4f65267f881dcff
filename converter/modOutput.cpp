#include "converter/modOutput.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "converter/modSystem.h"

namespace litvorot {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kFirstPiece = kHugePage;
constexpr std::size_t kSmallPiece = std::size_t{512} << 10;
constexpr std::size_t kLargestPiece = std::size_t{32} << 20;

}  // namespace

void HeldOutput::Piece::Free::operator()(char* memory) const { std::free(memory); }

HeldOutput::HeldOutput(int fd, std::size_t memoryLimit) : fd_(fd), memoryLimit_(memoryLimit) {}

HeldOutput::~HeldOutput() { Discard(); }

char* HeldOutput::Room(std::size_t bytes) {
    if (used_ == 0 || pieces_[used_ - 1].capacity - pieces_[used_ - 1].size < bytes) {
        // A new piece, twice the size of the one before (each is filled, never copied). The
        // first is small and of ordinary pages, as most outputs are: a huge page costs its whole
        // 2 MB to clear the first time it is touched.
        // An output expected to be large starts on huge pages: the ordinary pages of a small
        // first piece cost a fault each, several times what clearing them costs.
        std::size_t capacity = std::max(kSmallPiece, std::min(expected_, kLargestPiece));
        if (used_ > 0) {
            capacity =
                std::min(kLargestPiece, std::max(kHugePage, pieces_[used_ - 1].capacity * 2));
        }
        capacity = std::max(capacity, bytes);
        const std::size_t align = capacity > kSmallPiece ? kHugePage : 4096;
        capacity = (capacity + align - 1) / align * align;
        if (used_ == pieces_.size()) pieces_.emplace_back();
        Piece& piece = pieces_[used_];
        if (piece.capacity < capacity) {
            piece.data.reset(static_cast<char*>(std::aligned_alloc(align, capacity)));
            if (!piece.data) throw std::bad_alloc();
            piece.capacity = capacity;
            os::AdviseHugePages(piece.data.get(), capacity);
        }
        piece.size = 0;
        ++used_;
    }
    Piece& piece = pieces_[used_ - 1];
    return piece.data.get() + piece.size;
}

void HeldOutput::Commit(std::size_t bytes) {
    pieces_[used_ - 1].size += bytes;
    inMemory_ += bytes;
    size_ += bytes;
    if (inMemory_ > memoryLimit_ && (!spillError_.empty() || !Spill(spillError_))) {
        // The output can no longer be written whole: what is held is dropped rather than kept
        // growing, and Flush says why.
        used_ = 0;
        inMemory_ = 0;
    }
}

std::string HeldOutput::InMemory() const {
    std::string all;
    for (std::size_t i = 0; i < used_; ++i) all.append(pieces_[i].data.get(), pieces_[i].size);
    return all;
}

// Moves what memory holds to the end of the temporary file.
bool HeldOutput::Spill(std::string& error) {
    if (spill_ < 0) {
        spill_ = os::OpenTemporaryFile();
        if (spill_ < 0) {
            error =
                std::string("cannot hold the output in a temporary file: ") + std::strerror(errno);
            return false;
        }
    }
    for (std::size_t i = 0; i < used_; ++i) {
        const Piece& piece = pieces_[i];
        if (!os::WriteAll(spill_, piece.data.get(), piece.size)) {
            error =
                std::string("cannot hold the output in a temporary file: ") + std::strerror(errno);
            return false;
        }
    }
    used_ = 0;
    inMemory_ = 0;
    return true;
}

bool HeldOutput::Flush(std::string& error, bool& outputFailed) {
    outputFailed = false;
    if (!spillError_.empty()) {
        error = spillError_;
        Discard();
        return false;
    }
    if (spill_ >= 0) {
        if (os::Seek(spill_, 0, os::SeekFrom::kStart) != 0) {
            error = std::string("cannot read the output back from its temporary file: ") +
                    std::strerror(errno);
            Discard();
            return false;
        }
        std::unique_ptr<char[]> block(new char[kFirstPiece]);
        for (;;) {
            const long long got = os::ReadSome(spill_, block.get(), kFirstPiece);
            if (got < 0) {
                error = "cannot read the output back from its temporary file";
                Discard();
                return false;
            }
            if (got == 0) break;
            if (!os::WriteAll(fd_, block.get(), static_cast<std::size_t>(got))) {
                error = std::strerror(errno);
                outputFailed = true;
                Discard();
                return false;
            }
        }
        os::CloseFile(spill_);
        spill_ = -1;
    }
    for (std::size_t i = 0; i < used_; ++i) {
        if (!os::WriteAll(fd_, pieces_[i].data.get(), pieces_[i].size)) {
            error = std::strerror(errno);
            outputFailed = true;
            Discard();
            return false;
        }
    }
    Discard();
    return true;
}

void HeldOutput::Discard() {
    expected_ = 0;
    used_ = 0;
    inMemory_ = 0;
    size_ = 0;
    spillError_.clear();
    if (spill_ >= 0) {
        os::CloseFile(spill_);
        spill_ = -1;
    }
}

}  // namespace litvorot
