// Where an output file's bytes go, and how the name comes to hold them
// without ever holding half of them: the replace policy.
#pragma once

#include <sys/types.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "pulse/system_calls.h"

namespace korvex {

class InterruptCleanup;

// A file could not be created, written or closed. Carries the path, the
// reason ("No space left on device", or a step on the temporary file with
// its folder) and what the failure left at the path.
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

// The destination of one output, opened by its policy:
// - a path that names one of this process's open descriptors (/dev/stdout,
//   /dev/fd/N, /proc/self/fd/N, or a link that leads there) is that
//   descriptor as it stands, like "-": no reopening, truncating or
//   renaming, so a shell's >> appends and pipes work;
// - a regular file, or a name that does not exist yet, is written as a
//   hidden temporary file in the same folder (links followed to their
//   target) and renamed over the name by commit(); it keeps the replaced
//   file's permission bits and, where the process may set them, its owner
//   and group; an interrupting signal removes it (InterruptCleanup);
// - anything else (a FIFO, a device), and a file in a folder where no new
//   file can be created, is written in place.
// A link that does not resolve (a loop, or too deep) is refused and left as
// it is. Failures throw FileError; after one, the temporary file is gone.
class FileTarget {
  public:
    FileTarget(const std::string& path, SystemCalls& system);
    // A descriptor of the caller's, left open: `name` is for messages.
    FileTarget(int fd, std::string name, SystemCalls& system);
    // Without commit(), the temporary file is removed.
    ~FileTarget();
    FileTarget(const FileTarget&) = delete;
    FileTarget& operator=(const FileTarget&) = delete;

    int fd() const { return fd_; }
    SystemCalls& system() const { return system_; }
    const std::string& path() const { return path_; }
    // Whether the bytes go to a temporary file that replaces the name.
    bool replaces() const { return !temp_.empty(); }
    // Whether that replaces a file that exists (not a new name).
    bool replacesExisting() const { return replaces() && left_ == FileError::Left::Unchanged; }
    bool open() const { return fd_ >= 0; }
    // The errno of the failure thrown, or 0.
    int error() const { return error_; }

    // Once every byte is written: closes the file and puts it in place.
    void commit();
    // Closes without putting anything in place; the name keeps what it had.
    void abandon();
    // Abandons a temporary file and throws the failure, `step` saying what
    // failed when it was not the write itself.
    [[noreturn]] void fail(int error, const std::string& step = {});

  private:
    void openPath();
    std::string temporaryStep(const char* what) const;

    SystemCalls& system_;
    std::string path_;    // as given, for messages
    std::string target_;  // the file that is replaced (links followed)
    std::string temp_;    // empty when writing in place
    std::unique_ptr<InterruptCleanup> cleanup_;
    FileError::Left left_ = FileError::Left::Partial;  // by a failure now
    int fd_ = -1;
    bool ownsFd_ = true;
    int error_ = 0;
};

// What an output path finally names, to tell two outputs that would write
// over each other.
struct OutputIdentity {
    int fd = -1;                  // one of this process's descriptors, or -1
    bool hasInode = false;        // an existing file: dev and ino are set
    bool terminalOrNull = false;  // a character device: writers do not clobber each other
    dev_t dev = 0;
    ino_t ino = 0;
    std::string resolved;  // the path with links followed
};
// "-" is standard output.
OutputIdentity identifyOutput(const std::string& path, SystemCalls& system = systemCalls());
// The same descriptor, path or file (a character device only by path).
bool sameOutput(const OutputIdentity& a, const OutputIdentity& b);

}  // namespace korvex
