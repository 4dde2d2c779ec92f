// The operating system's file calls, as the output file makes them. Behind
// an interface so that a test, run as any user, can make any one of them
// fail the way a full disk or a lost network share does.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace korvex {

// Each call returns what the system call of the same name returns and
// leaves errno as it does.
class SystemCalls {
  public:
    virtual ~SystemCalls() = default;
    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
    virtual int fchmod(int fd, mode_t mode);
    virtual int fchown(int fd, uid_t owner, gid_t group);
    virtual int stat(const char* path, struct stat* st);
    virtual int lstat(const char* path, struct stat* st);
    virtual int fstat(int fd, struct stat* st);
    virtual int access(const char* path, int mode);
    // readlink's text, or an empty string with errno set.
    virtual std::string readlink(const char* path);
    // realpath's result, or an empty string with errno set.
    virtual std::string realpath(const char* path);
    // Asks for the range to be written to the disk now; a hint only.
    virtual void startWriteback(int fd, off_t offset, off_t size);
};

// The real calls.
SystemCalls& systemCalls();

}  // namespace korvex
