#include "analysis/record/input_bytes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "analysis/record/record_error.h"

namespace korvex {

namespace {

[[noreturn]] void unreadable(const std::string& path, int error) {
    throw RecordError(RecordError::Kind::Unreadable, path, 0, 0,
                      error != 0 ? std::generic_category().message(error) : "read error");
}

std::atomic<detail::InputSeam> seam{nullptr};

// The bus error guard. A mapped file that shrinks takes its pages away, and
// touching one then raises SIGBUS in whichever thread reads it. The handler
// puts zero pages in their place and marks the mapping, so that the reading
// ends normally and its result is dropped for an error. Each mapping being
// read has a slot; the handler only reads the slots (lock-free, so it is
// safe in a signal handler).
struct GuardSlot {
    std::atomic<std::uintptr_t> begin{0}, end{0};
    std::atomic<bool> hit{false};
    std::atomic<bool> taken{false};
};
constexpr int kGuardSlots = 64;
GuardSlot guardSlots[kGuardSlots];
struct sigaction previousBusAction;
std::uintptr_t pageSize = 4096;  // the system's, once the guard is installed

void onBusError(int signal, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardSlot& s : guardSlots) {
        const std::uintptr_t b = s.begin.load(std::memory_order_acquire);
        const std::uintptr_t e = s.end.load(std::memory_order_acquire);
        if (b != 0 && b <= at && at < e) {
            const std::uintptr_t from = at & ~(pageSize - 1);
            void* p = ::mmap(reinterpret_cast<void*>(from), e - from, PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            if (p != MAP_FAILED) {
                s.hit.store(true, std::memory_order_release);
                return;  // the read is made again, of a zero page
            }
        }
    }
    // Not a guarded mapping: as if this handler were not there.
    ::sigaction(SIGBUS, &previousBusAction, nullptr);
    if ((previousBusAction.sa_flags & SA_SIGINFO) != 0) {
        previousBusAction.sa_sigaction(signal, info, context);
    } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
        previousBusAction.sa_handler(signal);
    }
    // SIG_DFL: returning makes the same access again, which now ends the program.
}

int guard(const void* data, std::size_t size) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBusAction);
    });
    for (int i = 0; i < kGuardSlots; ++i) {
        GuardSlot& s = guardSlots[i];
        if (s.taken.exchange(true)) continue;
        const auto b = reinterpret_cast<std::uintptr_t>(data);
        s.hit.store(false);
        s.end.store((b + size + pageSize - 1) & ~(pageSize - 1), std::memory_order_release);
        s.begin.store(b, std::memory_order_release);
        return i;
    }
    return -1;  // every slot in use: unguarded, as before the guard
}

void unguard(int slot) {
    if (slot < 0) return;
    guardSlots[slot].begin.store(0, std::memory_order_release);
    guardSlots[slot].end.store(0, std::memory_order_release);
    guardSlots[slot].taken.store(false, std::memory_order_release);
}

// Unmapping a large file takes a millisecond or two (66 MB: 16,000 page
// table entries), which a short thread of its own spends while the caller
// goes on with the samples; the pages are the system's file cache, so
// nothing waits for them.
void unmap(void* p, std::size_t size) {
    if (size >= (std::size_t{16} << 20)) {
        try {
            std::thread([p, size] { ::munmap(p, size); }).detach();
            return;
        } catch (const std::system_error&) {
            // no thread to be had: unmap here
        }
    }
    ::munmap(p, size);
}

}  // namespace

namespace detail {

void setInputSeam(InputSeam s) {
    seam = s;
}

}  // namespace detail

InputBytes::InputBytes(std::string path) : path_(std::move(path)) {
    if (path_ == "-") {
        fd_ = 0;
    } else {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) unreadable(path_, errno);
        ownFd_ = true;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        const int error = errno;
        if (ownFd_) ::close(fd_);
        unreadable(path_, error);
    }
    // Standard input is mapped only where it is read from its start.
    if (S_ISREG(st.st_mode) && st.st_size > 0 && (ownFd_ || ::lseek(fd_, 0, SEEK_CUR) == 0))
        map(fd_, static_cast<std::size_t>(st.st_size));
    if (const detail::InputSeam s = seam.load(); s != nullptr) s(path_);
}

InputBytes::~InputBytes() {
    if (mapped_) {
        unguard(guard_);
        unmap(const_cast<char*>(data_), size_);
    }
    std::free(owned_);
    if (ownFd_) ::close(fd_);
}

// Maps the regular file from its start; false where it cannot. Its pages
// are faulted in by the threads that read them.
bool InputBytes::map(int fd, std::size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) return false;
#ifdef MADV_WILLNEED
    ::madvise(p, size, MADV_WILLNEED);  // start reading what is not in memory yet
#endif
    data_ = static_cast<const char*>(p);
    size_ = size;
    mapped_ = true;
    ended_ = true;
    guard_ = guard(data_, size_);
    return true;
}

// Reads the stream until it holds `upTo` bytes or ends, in large blocks.
// The buffer grows by realloc, which for large blocks usually remaps
// rather than copies.
void InputBytes::readStream(std::size_t upTo) {
    while (!ended_ && size_ < upTo) {
        if (size_ == capacity_) {
            const std::size_t grown = std::max<std::size_t>(2 * capacity_, std::size_t{1} << 20);
            char* p = static_cast<char*>(std::realloc(owned_, grown));
            if (p == nullptr) throw std::bad_alloc();
            owned_ = p;
            capacity_ = grown;
            data_ = owned_;
        }
        const ssize_t got = ::read(fd_, owned_ + size_, capacity_ - size_);
        if (got < 0) {
            if (errno == EINTR) continue;
            unreadable(path_, errno);
        }
        if (got == 0) ended_ = true;
        size_ += static_cast<std::size_t>(got);
    }
}

std::string_view InputBytes::head(std::size_t bytes) {
    readStream(bytes);
    return {data_, std::min(bytes, size_)};
}

std::string_view InputBytes::all() {
    readStream(static_cast<std::size_t>(-1));
    return {data_, size_};
}

void InputBytes::checkUnchanged() const {
    if (!mapped_) return;
    struct stat st;
    const bool hit = guard_ >= 0 && guardSlots[guard_].hit.load(std::memory_order_acquire);
    if (hit || ::fstat(fd_, &st) != 0 || static_cast<std::size_t>(st.st_size) != size_) {
        throw RecordError(RecordError::Kind::Unreadable, path_, 0, 0,
                          "the file changed size while it was read");
    }
}

}  // namespace korvex
