// The output file: the one place that talks to the operating system.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

#include "pulse/output_sink.h"

namespace korvex {

// A file could not be created, written or closed. Carries the path and the
// operating system's reason ("No space left on device").
class FileError : public std::runtime_error {
  public:
    FileError(std::string path, std::string reason);
    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }

  private:
    std::string path_;
    std::string reason_;
};

// Creates or truncates a file and writes to it through a buffer. Every
// failure, closing included, surfaces as FileError; after one the file holds
// a prefix of the bytes written. Destroyed without close(), it still stores
// what it accepted, as far as it can, and reports nothing.
class FileSink final : public OutputFile {
  public:
    explicit FileSink(const std::string& path);  // throws FileError
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Standard output; close() flushes it and leaves the descriptor open.
    static std::unique_ptr<FileSink> standardOutput();

    void write(const char* data, std::size_t size) override;
    char* reserve(std::size_t size) override;
    void commit(std::size_t size) override { used_ += size; }
    void close() override;

  private:
    FileSink(int fd, std::string name, bool ownsFd);
    void flushBuffer();
    void writeAll(const char* data, std::size_t size);
    [[noreturn]] void fail(int error);

    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

    std::string path_;
    int fd_ = -1;
    bool ownsFd_ = true;
    int error_ = 0;  // the first failure's errno
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

}  // namespace korvex
