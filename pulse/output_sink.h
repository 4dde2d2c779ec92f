// Where time-history bytes go.
#pragma once

#include <cstddef>

namespace korvex {

// Accepts bytes. write() returns only once all `size` bytes are accepted;
// otherwise it throws, possibly after part of them reached the destination.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual void write(const char* data, std::size_t size) = 0;
};

// A sink that must be closed to know that everything arrived: close() throws
// when something accepted earlier could not be stored.
class OutputFile : public OutputSink {
public:
    virtual void close() = 0;
};

}  // namespace korvex
