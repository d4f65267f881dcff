// The output of one input, held back until the input has been converted to its end: an input
// that is refused half-way writes nothing. Up to a limit it is held in memory, in pieces that are
// never copied; beyond it, in a temporary file (made where TMPDIR says, see os::OpenTemporaryFile),
// so that memory stays bounded for any input.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace litvorot {

class HeldOutput {
  public:
    // `fd` is where Flush writes; `memoryLimit` how much is held in memory before the rest goes
    // to a temporary file.
    explicit HeldOutput(int fd, std::size_t memoryLimit = kDefaultMemoryLimit);
    ~HeldOutput();
    HeldOutput(const HeldOutput&) = delete;
    HeldOutput& operator=(const HeldOutput&) = delete;

    static constexpr std::size_t kDefaultMemoryLimit = std::size_t{256} << 20;

    // The output is likely to come to as much as `bytes`: a first piece is made that large at
    // once (up to the largest piece), of huge pages, rather than starting small. Until Discard.
    void Expect(std::size_t bytes) { expected_ = bytes; }

    // Room for at least `bytes` more; Commit then says how many were written there.
    char* Room(std::size_t bytes);
    void Commit(std::size_t bytes);

    // Everything held so far, in order (the tests read it; the temporary file is not included).
    std::string InMemory() const;
    std::size_t Size() const { return size_; }
    std::size_t MemoryLimit() const { return memoryLimit_; }
    int Fd() const { return fd_; }

    // Writes everything held to the output and empties the holder. False when that fails, with
    // `error` set: a write to the output sets `outputFailed`, a failing temporary file does not.
    bool Flush(std::string& error, bool& outputFailed);
    // Drops everything held.
    void Discard();

  private:
    bool Spill(std::string& error);

    // Memory aligned to huge pages, so that a large output costs few page faults.
    struct Piece {
        struct Free {
            void operator()(char* data) const;
        };
        std::unique_ptr<char, Free> data;
        std::size_t capacity = 0;
        std::size_t size = 0;
    };

    int fd_;
    std::size_t memoryLimit_;
    std::vector<Piece> pieces_;
    std::size_t used_ = 0;  // pieces_ in use
    std::size_t inMemory_ = 0;
    std::size_t size_ = 0;
    std::size_t expected_ = 0;
    int spill_ = -1;  // the temporary file
    std::string spillError_;
};

}  // namespace litvorot
