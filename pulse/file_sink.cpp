#include "pulse/file_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace korvex {

FileError::FileError(std::string path, std::string reason)
    : std::runtime_error(path + ": " + reason),
      path_(std::move(path)),
      reason_(std::move(reason)) {}

FileSink::FileSink(int fd, std::string name, bool ownsFd)
    : path_(std::move(name)), fd_(fd), ownsFd_(ownsFd), buffer_(new char[kBufferSize]) {}

FileSink::FileSink(const std::string& path) : path_(path), buffer_(new char[kBufferSize]) {
    do {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) fail(errno);
}

std::unique_ptr<FileSink> FileSink::standardOutput() {
    return std::unique_ptr<FileSink>(new FileSink(STDOUT_FILENO, "standard output", false));
}

FileSink::~FileSink() {
    if (fd_ < 0) return;
    if (error_ == 0) {
        try {
            flushBuffer();
        } catch (const FileError&) {
            // Nobody is left to tell; the file keeps the prefix that fitted.
        }
    }
    if (ownsFd_) ::close(fd_);
}

void FileSink::fail(int error) {
    // Later calls repeat the first failure rather than invent another.
    if (error_ == 0) error_ = error;
    used_ = 0;
    throw FileError(path_, std::generic_category().message(error_));
}

void FileSink::writeAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        if (n == 0) fail(EIO);  // no progress and no reason given
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void FileSink::flushBuffer() {
    const std::size_t pending = used_;
    used_ = 0;
    writeAll(buffer_.get(), pending);
}

void FileSink::write(const char* data, std::size_t size) {
    if (error_ != 0) fail(error_);
    if (fd_ < 0) fail(EBADF);
    if (size > kBufferSize - used_) {
        flushBuffer();
        if (size >= kBufferSize) {
            writeAll(data, size);
            return;
        }
    }
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
}

char* FileSink::reserve(std::size_t size) {
    if (error_ != 0) fail(error_);
    if (fd_ < 0) fail(EBADF);
    if (size > kBufferSize - used_) flushBuffer();
    return buffer_.get() + used_;
}

void FileSink::close() {
    if (fd_ < 0) return;
    if (error_ != 0) fail(error_);
    flushBuffer();
    const int fd = std::exchange(fd_, -1);
    if (ownsFd_ && ::close(fd) != 0) fail(errno);
}

}  // namespace korvex
