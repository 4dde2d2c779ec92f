#include "pulse/system_calls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace korvex {

int SystemCalls::open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

ssize_t SystemCalls::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

int SystemCalls::close(int fd) {
    return ::close(fd);
}

int SystemCalls::rename(const char* from, const char* to) {
    return ::rename(from, to);
}

int SystemCalls::unlink(const char* path) {
    return ::unlink(path);
}

int SystemCalls::fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}

int SystemCalls::fchown(int fd, uid_t owner, gid_t group) {
    return ::fchown(fd, owner, group);
}

int SystemCalls::stat(const char* path, struct stat* st) {
    return ::stat(path, st);
}

int SystemCalls::lstat(const char* path, struct stat* st) {
    return ::lstat(path, st);
}

int SystemCalls::fstat(int fd, struct stat* st) {
    return ::fstat(fd, st);
}

int SystemCalls::access(const char* path, int mode) {
    return ::access(path, mode);
}

std::string SystemCalls::readlink(const char* path) {
    std::string text(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path, text.data(), text.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) >= text.size()) {
        errno = ENAMETOOLONG;
        return {};
    }
    text.resize(static_cast<std::size_t>(n));
    return text;
}

std::string SystemCalls::realpath(const char* path) {
    char* resolved = ::realpath(path, nullptr);
    if (resolved == nullptr) return {};
    std::string text(resolved);
    std::free(resolved);
    return text;
}

void SystemCalls::startWriteback(int fd, off_t offset, off_t size) {
#if defined(SYNC_FILE_RANGE_WRITE)
    ::sync_file_range(fd, offset, size, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
    (void)offset;
    (void)size;
#endif
}

SystemCalls& systemCalls() {
    static SystemCalls real;
    return real;
}

}  // namespace korvex
