// The output file: bytes buffered, handed to the system on a thread of
// their own, and put in place only once all of them are stored.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>

#include "pulse/file_target.h"
#include "pulse/output_sink.h"
#include "pulse/system_calls.h"

namespace korvex {

class Worker;

// Writes a file through a buffer, with the system's copy overlapped by a
// writer thread once the output outgrows one buffer. Where the bytes go and
// how the name comes to hold them is FileTarget's policy. Every failure,
// closing included, surfaces as FileError; the first one repeats on every
// later call. Destroyed without close(), it leaves the name as it was
// (a file written in place keeps what was written).
class FileSink final : public OutputFile {
  public:
    explicit FileSink(const std::string& path, SystemCalls& system = systemCalls());
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Standard output; close() flushes it and leaves the descriptor open.
    static std::unique_ptr<FileSink> standardOutput();

    void write(const char* data, std::size_t size) override;
    std::size_t maxReserve() const override;
    char* reserve(std::size_t size) override;
    void commit(std::size_t size) override { used_ += size; }
    void close() override;

    bool replaces() const { return target_.replaces(); }

  private:
    struct Buffers;
    FileSink(int fd, std::string name);
    void handOff();  // the current buffer to the writer, then the other one
    void finishWriter();
    [[noreturn]] void fail(int error);

    FileTarget target_;
    int error_ = 0;  // the first failure's errno
    std::unique_ptr<Buffers> buffers_;
    char* buffer_ = nullptr;  // the one being filled
    std::size_t used_ = 0;
    std::unique_ptr<Worker> writer_;
    int writerError_ = 0;  // the writer thread's, read once it has stopped
    off_t written_ = 0;    // the writer thread's own
};

// Tells the system that [data, data + size) is a large array that will be
// filled soon and in one pass, so that it can be backed by huge pages: far
// fewer page faults than 4 KiB at a time. Does nothing where there is no
// such hint.
void adviseLargeArray(void* data, std::size_t size);

// Whether standard error is a terminal that a person watches.
bool standardErrorIsTerminal();

}  // namespace korvex
