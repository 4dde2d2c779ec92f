#include "pulse/interrupt_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace korvex {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A fixed table, so that the handler neither allocates nor takes a lock.
// A slot goes free -> filling -> armed, and back to free when the file is
// renamed or removed; the handler takes an armed slot for itself before it
// reads the path, so no slot is refilled under it.
enum : int { kFree, kFilling, kArmed, kTaken };
struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
constexpr int kSlots = 16;
Slot slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs lock-free atomics");

extern "C" void removeTemporariesAndDie(int signal) {
    const int savedErrno = errno;
    for (Slot& slot : slots) {
        int armed = kArmed;
        if (slot.state.compare_exchange_strong(armed, kTaken)) ::unlink(slot.path);
    }
    // The handler was reset to the default on entry (SA_RESETHAND): the
    // signal, blocked while we run, ends the process once we return, with
    // the status a shell expects of it.
    ::raise(signal);
    errno = savedErrno;
}

void installHandlers() {
    for (int signal : kSignals) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) != 0) continue;
        if ((old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = removeTemporariesAndDie;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

InterruptCleanup::InterruptCleanup(const std::string& path) {
    static std::once_flag installed;
    std::call_once(installed, installHandlers);
    if (path.size() >= PATH_MAX) return;
    for (int i = 0; i < kSlots; ++i) {
        int free = kFree;
        if (!slots[i].state.compare_exchange_strong(free, kFilling)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(kArmed);
        slot_ = i;
        return;
    }
}

InterruptCleanup::~InterruptCleanup() {
    if (slot_ < 0) return;
    // Fails only while the handler removes the file: the process is ending.
    int armed = kArmed;
    slots[slot_].state.compare_exchange_strong(armed, kFree);
}

}  // namespace korvex
