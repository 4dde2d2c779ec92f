// Where time-history bytes go.
#pragma once

#include <cstddef>

namespace korvex {

// Accepts bytes. write() returns only once all `size` bytes are accepted;
// otherwise it throws, possibly after part of them reached the destination.
//
// reserve()/commit() is the same write without a copy: reserve(n) gives room
// for up to n bytes (maxReserve() at most, never less than kMaxReserve),
// valid until the next call on the sink, and commit(size) writes the `size`
// bytes placed there, exactly as write() would. Sinks with a buffer of their
// own hand out a piece of it.
class OutputSink {
  public:
    static constexpr std::size_t kMaxReserve = 64;

    virtual ~OutputSink() = default;
    virtual void write(const char* data, std::size_t size) = 0;
    virtual std::size_t maxReserve() const { return kMaxReserve; }
    virtual char* reserve(std::size_t /*size*/) { return scratch_; }
    virtual void commit(std::size_t size) { write(scratch_, size); }

  private:
    char scratch_[kMaxReserve];
};

// A sink that must be closed to know that everything arrived: close() throws
// when something accepted earlier could not be stored.
class OutputFile : public OutputSink {
  public:
    virtual void close() = 0;
};

}  // namespace korvex
