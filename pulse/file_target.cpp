#include "pulse/file_target.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <random>
#include <system_error>
#include <utility>

#include "pulse/interrupt_cleanup.h"

namespace korvex {
namespace {

// As the kernel counts: a chain of more links than this is "too deep".
constexpr int kMaxLinks = 40;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool allDigits(const std::string& text, std::size_t from = 0, std::size_t to = std::string::npos) {
    to = std::min(to, text.size());
    if (from >= to || to - from > 9) return false;
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

// Whether a canonical folder holds a process's open descriptors:
// /proc/PID/fd or /proc/PID/task/TID/fd, and whether the process is this one.
enum class DescriptorFolder { None, Ours, Another };
DescriptorFolder descriptorFolder(const std::string& folder) {
    const std::string proc = "/proc/";
    if (folder.compare(0, proc.size(), proc) != 0) return DescriptorFolder::None;
    const std::size_t pidEnd = folder.find('/', proc.size());
    if (pidEnd == std::string::npos || !allDigits(folder, proc.size(), pidEnd)) {
        return DescriptorFolder::None;
    }
    std::string rest = folder.substr(pidEnd);
    if (rest.compare(0, 6, "/task/") == 0) {
        const std::size_t tidEnd = rest.find('/', 6);
        if (tidEnd == std::string::npos || !allDigits(rest, 6, tidEnd)) {
            return DescriptorFolder::None;
        }
        rest = rest.substr(tidEnd);
    }
    if (rest != "/fd") return DescriptorFolder::None;
    const std::string pid = folder.substr(proc.size(), pidEnd - proc.size());
    return pid == std::to_string(::getpid()) ? DescriptorFolder::Ours : DescriptorFolder::Another;
}

// What a path finally names, through any symbolic links.
struct Resolved {
    enum class Kind { Path, OurDescriptor, InPlace, Error } kind = Kind::Path;
    std::string path;  // the last path of the chain
    std::string canonicalFolder;
    int fd = -1;
    int error = 0;
};

Resolved resolve(std::string path, SystemCalls& system) {
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        Resolved r;
        r.path = path;
        const std::string folder = folderOf(path), name = nameOf(path);
        r.canonicalFolder = system.realpath(folder.c_str());
        // Checked before the link is read: /proc/self/fd/1 reads as the
        // file the shell opened, which must not be replaced.
        if (!r.canonicalFolder.empty() && allDigits(name)) {
            switch (descriptorFolder(r.canonicalFolder)) {
                case DescriptorFolder::Ours:
                    r.kind = Resolved::Kind::OurDescriptor;
                    r.fd = std::stoi(name);
                    return r;
                case DescriptorFolder::Another:
                    r.kind = Resolved::Kind::InPlace;  // another process's file: never replaced
                    return r;
                case DescriptorFolder::None:
                    break;
            }
        }
        struct stat st;
        // A name that cannot be looked at is left for the open to report.
        if (system.lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return r;
        const std::string link = system.readlink(path.c_str());
        if (link.empty()) {
            r.kind = Resolved::Kind::Error;
            r.error = errno != 0 ? errno : EINVAL;
            return r;
        }
        path = link.front() == '/' ? link : folder + "/" + link;
    }
    Resolved loop;
    loop.kind = Resolved::Kind::Error;
    loop.error = ELOOP;
    return loop;
}

// A hidden, unused name beside `target`, created exclusively: the
// descriptor, or -1 with errno set.
int createTemporary(SystemCalls& system, const std::string& target, mode_t mode,
                    std::string& name) {
    static std::mt19937_64 random{std::random_device{}()};
    static std::mutex randomLock;
    // Short enough that the suffix never pushes the name past the limit.
    const std::string stem = folderOf(target) + "/." + nameOf(target).substr(0, 200) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t bits;
        {
            const std::lock_guard<std::mutex> lock(randomLock);
            bits = random();
        }
        char suffix[8];
        for (char& c : suffix) {
            c = "0123456789abcdefghijklmnopqrstuvwxyz"[bits % 36];
            bits /= 36;
        }
        name = stem + std::string(suffix, sizeof suffix);
        int fd;
        do {
            fd = system.open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

FileError::FileError(std::string path, std::string reason, Left left)
    : std::runtime_error(path + ": " + reason),
      path_(std::move(path)),
      reason_(std::move(reason)),
      left_(left) {}

FileTarget::FileTarget(const std::string& path, SystemCalls& system)
    : system_(system), path_(path) {
    openPath();
}

FileTarget::FileTarget(int fd, std::string name, SystemCalls& system)
    : system_(system), path_(std::move(name)), fd_(fd), ownsFd_(false) {}

FileTarget::~FileTarget() {
    abandon();
}

void FileTarget::openPath() {
    const Resolved r = resolve(path_, system_);
    struct stat st;
    if (r.kind == Resolved::Kind::Error) {
        left_ = system_.lstat(path_.c_str(), &st) == 0 ? FileError::Left::Unchanged
                                                       : FileError::Left::NotCreated;
        fail(r.error);
    }
    if (r.kind == Resolved::Kind::OurDescriptor) {
        // Open as it stands, or "Bad file descriptor".
        if (system_.fstat(r.fd, &st) != 0) fail(errno);
        fd_ = r.fd;
        ownsFd_ = false;
        return;
    }
    if (r.kind == Resolved::Kind::Path) {
        target_ = r.path;
        const bool existed = system_.stat(target_.c_str(), &st) == 0;
        left_ = existed ? FileError::Left::Unchanged : FileError::Left::NotCreated;
        if (!existed || S_ISREG(st.st_mode)) {
            // Replacing a file is no way around its being read-only.
            if (existed && system_.access(target_.c_str(), W_OK) != 0) fail(errno);
            std::string temp;
            fd_ = createTemporary(system_, target_, existed ? 0600 : 0666, temp);
            if (fd_ >= 0) {
                temp_ = std::move(temp);
                cleanup_ = std::make_unique<InterruptCleanup>(temp_);
                if (existed) {
                    // The owner first: changing it may clear the set-id bits.
                    // Not ours to give away: the new file stays ours, in the
                    // old group where we belong to it.
                    if (system_.fchown(fd_, st.st_uid, st.st_gid) != 0 &&
                        system_.fchown(fd_, static_cast<uid_t>(-1), st.st_gid) != 0) {
                    }
                    if (system_.fchmod(fd_, st.st_mode & 07777) != 0) {
                        fail(errno, temporaryStep("setting the permissions of"));
                    }
                }
                return;
            }
            // A folder where no new file may be made: in place, as before.
            const int fault = errno;
            if (fault != EACCES && fault != EPERM && fault != ENAMETOOLONG) {
                // A missing folder is the path's fault, not the temporary file's.
                struct stat folder;
                const bool folderThere = system_.stat(folderOf(target_).c_str(), &folder) == 0;
                fail(fault, folderThere ? "creating a temporary file in " + folderOf(target_)
                                        : std::string());
            }
        }
    }
    do {
        fd_ = system_.open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) fail(errno);
    left_ = FileError::Left::Partial;  // whatever was there is truncated now
}

std::string FileTarget::temporaryStep(const char* what) const {
    return std::string(what) + " the temporary file " + nameOf(temp_) + " in " + folderOf(temp_);
}

void FileTarget::abandon() {
    if (fd_ >= 0 && ownsFd_) system_.close(fd_);
    fd_ = -1;
    if (!temp_.empty()) system_.unlink(temp_.c_str());
    temp_.clear();
    cleanup_.reset();
}

void FileTarget::fail(int error, const std::string& step) {
    const std::string why = std::generic_category().message(error);
    error_ = error;
    abandon();
    throw FileError(path_, step.empty() ? why : step + ": " + why, left_);
}

void FileTarget::commit() {
    if (fd_ < 0) return;
    if (ownsFd_ && system_.close(std::exchange(fd_, -1)) != 0) {
        fail(errno, replaces() ? temporaryStep("closing") : std::string());
    }
    fd_ = -1;
    if (replaces()) {
        if (system_.rename(temp_.c_str(), target_.c_str()) != 0) {
            fail(errno, temporaryStep("renaming"));
        }
        temp_.clear();
        cleanup_.reset();
    }
}

OutputIdentity identifyOutput(const std::string& path, SystemCalls& system) {
    OutputIdentity id;
    struct stat st;
    bool known = false;
    if (path == "-") {
        id.fd = STDOUT_FILENO;
        known = system.fstat(id.fd, &st) == 0;
    } else {
        const Resolved r = resolve(path, system);
        id.resolved = r.canonicalFolder.empty() ? r.path : r.canonicalFolder + "/" + nameOf(r.path);
        if (r.kind == Resolved::Kind::OurDescriptor) {
            id.fd = r.fd;
            known = system.fstat(id.fd, &st) == 0;
        } else if (r.kind != Resolved::Kind::Error) {
            known = system.stat(r.path.c_str(), &st) == 0;
        }
    }
    if (known) {
        id.hasInode = true;
        id.dev = st.st_dev;
        id.ino = st.st_ino;
        id.terminalOrNull = S_ISCHR(st.st_mode);
    }
    return id;
}

bool sameOutput(const OutputIdentity& a, const OutputIdentity& b) {
    if (a.fd >= 0 && a.fd == b.fd) return true;
    if (!a.resolved.empty() && a.resolved == b.resolved) return true;
    return a.hasInode && b.hasInode && a.dev == b.dev && a.ino == b.ino && !a.terminalOrNull;
}

}  // namespace korvex
