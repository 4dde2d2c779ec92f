// The bytes of a record's input, for every format: a regular file (or
// standard input redirected from one) mapped, anything else read in large
// blocks; the head for sniffing first, the rest only when a format reads it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvex {

class InputBytes {
  public:
    // Opens `path`, or standard input for "-". Throws RecordError (Unreadable).
    explicit InputBytes(std::string path);
    ~InputBytes();
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;

    // Up to `bytes` from the start; a stream is read that far only.
    std::string_view head(std::size_t bytes);
    // All of it; a stream is read to its end.
    std::string_view all();

    // Throws RecordError (Unreadable) where a mapped file changed size since
    // it was mapped. Pages that a shrinking file took away read as zeros
    // meanwhile (never a bus error), so whatever was made of them is to be
    // dropped in favour of this error.
    void checkUnchanged() const;

  private:
    bool map(int fd, std::size_t size);
    void readStream(std::size_t upTo);

    std::string path_;
    int fd_ = -1;
    bool ownFd_ = false;
    const char* data_ = "";
    std::size_t size_ = 0;
    bool mapped_ = false;
    int guard_ = -1;  // the mapping's slot in the bus error guard
    char* owned_ = nullptr;
    std::size_t capacity_ = 0;
    bool ended_ = false;  // a stream read to its end
};

namespace detail {

// Called with the path once the input is mapped, before any byte is read:
// lets a test change the file at the worst moment.
using InputSeam = void (*)(const std::string& path);
void setInputSeam(InputSeam seam);

}  // namespace detail

}  // namespace korvex
