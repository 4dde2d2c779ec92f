// The output file: the one place that talks to the operating system.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

#include "pulse/output_sink.h"

namespace korvex {

// A file could not be created, written or closed. Carries the path, the
// operating system's reason ("No space left on device") and what the
// failure left at the path.
class FileError : public std::runtime_error {
  public:
    enum class Left {
        Unchanged,   // the file that was there is as it was
        NotCreated,  // there was no file and there is none
        Partial,     // written in place: a prefix of the bytes, or a device
    };

    FileError(std::string path, std::string reason, Left left = Left::Partial);
    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }
    Left left() const { return left_; }

  private:
    std::string path_;
    std::string reason_;
    Left left_;
};

// Writes a file through a buffer, with the system's copy overlapped by a
// writer thread once the output outgrows one buffer.
//
// A regular file, or a name that does not exist yet, is written as a hidden
// temporary file in the same folder (a symbolic link is followed to its
// target) and renamed over the name only when close() has stored every byte;
// it keeps the replaced file's permission bits and, where the process may
// set them, its owner and group. On any failure, and when destroyed without
// close(), the temporary file is removed and the name is left as it was.
//
// Anything else (a FIFO, a device, standard output), and a file in a folder
// where no new file can be created, is written in place: after a failure it
// holds a prefix of the bytes. Every failure, closing included, surfaces as
// FileError; the first one repeats on every later call.
class FileSink final : public OutputFile {
  public:
    explicit FileSink(const std::string& path);  // throws FileError
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

    // Whether the bytes go to a temporary file that replaces the name.
    bool replaces() const { return !temp_.empty(); }

  private:
    class Writer;
    FileSink(int fd, std::string name, bool ownsFd);
    void openTarget();
    void handOff();  // the current buffer to the writer, then the other one
    [[noreturn]] void fail(int error);
    void discard();  // stops writing; removes the temporary file

    std::string path_;                                 // as given, for messages
    std::string target_;                               // the file that is replaced (links followed)
    std::string temp_;                                 // empty when writing in place
    FileError::Left left_ = FileError::Left::Partial;  // by a failure now
    int fd_ = -1;
    bool ownsFd_ = true;
    int error_ = 0;  // the first failure's errno
    struct Buffers;
    std::unique_ptr<Buffers> buffers_;
    char* buffer_ = nullptr;  // the one being filled
    std::size_t used_ = 0;
    std::unique_ptr<Writer> writer_;
};

// Tells the system that [data, data + size) is a large array that will be
// filled soon and in one pass, so that it can be backed by huge pages: far
// fewer page faults than 4 KiB at a time. Does nothing where there is no
// such hint.
void adviseLargeArray(void* data, std::size_t size);

}  // namespace korvex
