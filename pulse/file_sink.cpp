#include "pulse/file_sink.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <random>
#include <system_error>
#include <thread>
#include <utility>

namespace korvex {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;  // each of the two
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Writes everything or returns the errno of the failure.
int writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;  // no progress and no reason given
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path finally names, through any symbolic links; a dangling
// link gives the name it points to.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) return path;
        link.resize(static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : folderOf(path) + "/" + link;
    }
    return path;  // a loop: opening it reports the error
}

// A hidden, unused name beside `target`, created exclusively: the
// descriptor, or -1 with errno set.
int createTemporary(const std::string& target, mode_t mode, std::string& name) {
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
            fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

// Writes the pieces it is given, one at a time, on a thread of its own,
// while the caller fills the other buffer.
class FileSink::Writer {
  public:
    // `startWriteback`: hand each piece to the disk as soon as it is
    // written, so that none of it is left for a flush at the rename.
    Writer(int fd, bool startWriteback)
        : fd_(fd), startWriteback_(startWriteback), thread_([this] { run(); }) {}
    ~Writer() { finish(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Waits for the piece before, then starts on this one. Returns the errno
    // of an earlier failure (and then takes nothing), or 0.
    int submit(const char* data, std::size_t size) {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return !busy_; });
        if (error_ != 0) return error_;
        data_ = data;
        size_ = size;
        busy_ = true;
        work_.notify_one();
        return 0;
    }

    // Waits for everything submitted, ends the thread, returns the errno of
    // the first failure or 0.
    int finish() {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            idle_.wait(lock, [this] { return !busy_; });
            stop_ = true;
        }
        work_.notify_one();
        if (thread_.joinable()) thread_.join();
        return error_;
    }

  private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return busy_ || stop_; });
            if (!busy_) return;
            const char* data = data_;
            const std::size_t size = size_;
            lock.unlock();
            const int error = writeAll(fd_, data, size);
#if defined(SYNC_FILE_RANGE_WRITE)
            if (error == 0 && startWriteback_) {
                ::sync_file_range(fd_, offset_, static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
            }
#endif
            offset_ += static_cast<off_t>(size);
            lock.lock();
            if (error_ == 0) error_ = error;
            busy_ = false;
            idle_.notify_one();
        }
    }

    const int fd_;
    const bool startWriteback_;
    off_t offset_ = 0;  // the writer thread's own
    std::mutex mutex_;
    std::condition_variable work_, idle_;
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    bool busy_ = false;
    bool stop_ = false;
    int error_ = 0;
    std::thread thread_;  // last: starts once the rest is ready
};

// Both buffers in one huge page: two page faults instead of 512.
struct FileSink::Buffers {
    Buffers() : block(static_cast<char*>(std::aligned_alloc(kHugePage, 2 * kBufferSize))) {
        if (block == nullptr) throw std::bad_alloc();
        adviseLargeArray(block, 2 * kBufferSize);
    }
    ~Buffers() { std::free(block); }
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;
    char* other(const char* current) const {
        return current == block ? block + kBufferSize : block;
    }
    char* const block;
};

FileError::FileError(std::string path, std::string reason, Left left)
    : std::runtime_error(path + ": " + reason),
      path_(std::move(path)),
      reason_(std::move(reason)),
      left_(left) {}

FileSink::FileSink(int fd, std::string name, bool ownsFd)
    : path_(std::move(name)), fd_(fd), ownsFd_(ownsFd), buffers_(new Buffers) {
    buffer_ = buffers_->block;
}

FileSink::FileSink(const std::string& path) : path_(path), buffers_(new Buffers) {
    buffer_ = buffers_->block;
    openTarget();
}

std::unique_ptr<FileSink> FileSink::standardOutput() {
    return std::unique_ptr<FileSink>(new FileSink(STDOUT_FILENO, "standard output", false));
}

void FileSink::openTarget() {
    target_ = followLinks(path_);
    struct stat st;
    const bool existed = ::stat(target_.c_str(), &st) == 0;
    left_ = existed ? FileError::Left::Unchanged : FileError::Left::NotCreated;
    if (!existed || S_ISREG(st.st_mode)) {
        // Replacing a file is no way around its being read-only.
        if (existed && ::access(target_.c_str(), W_OK) != 0) fail(errno);
        std::string temp;
        fd_ = createTemporary(target_, existed ? 0600 : 0666, temp);
        if (fd_ >= 0) {
            temp_ = std::move(temp);
            if (existed) {
                // The owner first: changing it may clear the set-id bits.
                // Not ours to give away: the new file stays ours, in the old
                // group where we belong to it.
                if (::fchown(fd_, st.st_uid, st.st_gid) != 0 &&
                    ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid) != 0) {
                }
                if (::fchmod(fd_, st.st_mode & 07777) != 0) fail(errno);
            }
            return;
        }
        // A folder where no new file may be made: in place, as before.
        if (errno != EACCES && errno != EPERM && errno != ENAMETOOLONG) fail(errno);
    }
    do {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) fail(errno);
    left_ = FileError::Left::Partial;  // whatever was there is truncated now
}

FileSink::~FileSink() {
    if (fd_ < 0) return;
    if (replaces() || error_ != 0) {
        discard();  // never closed: the name keeps what it had
        return;
    }
    try {
        handOff();
        if (writer_) writer_->finish();
    } catch (const FileError&) {
        // Nobody is left to tell; the file keeps the prefix that fitted.
    }
    writer_.reset();
    if (ownsFd_) ::close(fd_);
}

void FileSink::discard() {
    if (writer_) writer_->finish();
    writer_.reset();
    if (fd_ >= 0 && ownsFd_) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

void FileSink::fail(int error) {
    // Later calls repeat the first failure rather than invent another.
    if (error_ == 0) error_ = error;
    used_ = 0;
    if (replaces()) discard();
    throw FileError(path_, std::generic_category().message(error_), left_);
}

void FileSink::handOff() {
    if (used_ == 0) return;
    if (!writer_)
        writer_ = std::make_unique<Writer>(fd_, replaces() && left_ == FileError::Left::Unchanged);
    const int error = writer_->submit(buffer_, used_);
    if (error != 0) fail(error);
    buffer_ = buffers_->other(buffer_);
    used_ = 0;
}

void FileSink::write(const char* data, std::size_t size) {
    if (error_ != 0) fail(error_);
    if (fd_ < 0) fail(EBADF);
    while (size > 0) {
        const std::size_t n = std::min(size, kBufferSize - used_);
        std::memcpy(buffer_ + used_, data, n);
        used_ += n;
        data += n;
        size -= n;
        if (used_ == kBufferSize) handOff();
    }
}

std::size_t FileSink::maxReserve() const {
    return kBufferSize;
}

char* FileSink::reserve(std::size_t size) {
    if (error_ != 0) fail(error_);
    if (fd_ < 0) fail(EBADF);
    if (size > kBufferSize - used_) handOff();
    return buffer_ + used_;
}

void FileSink::close() {
    if (error_ != 0) fail(error_);
    if (fd_ < 0) return;
    if (writer_) {
        // The writer is joined here, so its failure is known before success.
        handOff();
        const int error = writer_->finish();
        writer_.reset();
        if (error != 0) fail(error);
    } else if (const int error = writeAll(fd_, buffer_, std::exchange(used_, 0)); error != 0) {
        fail(error);
    }
    if (ownsFd_ && ::close(std::exchange(fd_, -1)) != 0) fail(errno);
    fd_ = -1;
    if (replaces()) {
        if (::rename(temp_.c_str(), target_.c_str()) != 0) fail(errno);
        temp_.clear();
    }
}

void adviseLargeArray(void* data, std::size_t size) {
#if defined(MADV_HUGEPAGE)
    // Only whole, aligned huge pages inside the array.
    const std::uintptr_t begin =
        (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
    const std::uintptr_t end =
        (reinterpret_cast<std::uintptr_t>(data) + size) & ~std::uintptr_t{kHugePage - 1};
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace korvex
