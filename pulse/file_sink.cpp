#include "pulse/file_sink.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "pulse/worker.h"

namespace korvex {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;  // each of the two
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Writes everything or returns the errno of the failure.
int writeAll(SystemCalls& system, int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = system.write(fd, data, size);
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

}  // namespace

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

FileSink::FileSink(int fd, std::string name)
    : target_(fd, std::move(name), systemCalls()), buffers_(new Buffers) {
    buffer_ = buffers_->block;
}

FileSink::FileSink(const std::string& path, SystemCalls& system)
    : target_(path, system), buffers_(new Buffers) {
    buffer_ = buffers_->block;
}

std::unique_ptr<FileSink> FileSink::standardOutput() {
    return std::unique_ptr<FileSink>(new FileSink(STDOUT_FILENO, "standard output"));
}

FileSink::~FileSink() {
    finishWriter();
    if (target_.open() && !target_.replaces() && error_ == 0 && writerError_ == 0) {
        // Written in place: what was accepted still goes out. Nobody is
        // left to tell of a failure; the file keeps the prefix that fitted.
        writeAll(target_.system(), target_.fd(), buffer_, used_);
    }
    target_.abandon();
}

void FileSink::finishWriter() {
    if (writer_) writer_->wait();
    writer_.reset();
}

void FileSink::fail(int error) {
    // Later calls repeat the first failure rather than invent another.
    if (error_ == 0) error_ = error;
    used_ = 0;
    finishWriter();
    target_.fail(error_);
}

void FileSink::handOff() {
    if (used_ == 0) return;
    if (!writer_) {
        writer_ = std::make_unique<Worker>();
    } else {
        writer_->wait();
    }
    if (writerError_ != 0) fail(writerError_);
    // Hand each piece that replaces a file to the disk at once, so that
    // none of it is left for the flush the file system makes at the rename.
    const bool writeback = target_.replacesExisting();
    writer_->start([this, data = buffer_, size = used_, writeback] {
        SystemCalls& system = target_.system();
        const int error = writeAll(system, target_.fd(), data, size);
        if (error == 0 && writeback) system.startWriteback(target_.fd(), written_, size);
        written_ += static_cast<off_t>(size);
        writerError_ = error;
    });
    buffer_ = buffers_->other(buffer_);
    used_ = 0;
}

void FileSink::write(const char* data, std::size_t size) {
    if (error_ != 0) fail(error_);
    if (!target_.open()) fail(EBADF);
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
    if (!target_.open()) fail(EBADF);
    if (size > kBufferSize - used_) handOff();
    return buffer_ + used_;
}

void FileSink::close() {
    if (error_ != 0) fail(error_);
    if (!target_.open()) return;
    if (writer_) {
        // The writer is joined here, so its failure is known before success.
        handOff();
        finishWriter();
        if (writerError_ != 0) fail(writerError_);
    } else if (const int error = writeAll(target_.system(), target_.fd(), buffer_, used_);
               error != 0) {
        fail(error);
    }
    used_ = 0;
    try {
        target_.commit();
    } catch (const FileError&) {
        error_ = target_.error();
        throw;
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

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace korvex
