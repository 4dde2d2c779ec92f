// One way to spread work over the processor's cores: tasks handed out one
// at a time to a few threads, the calling thread among them. A task that
// throws stops nothing else; the first failure is rethrown once all end.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace korvex {

// Threads to use for `tasks` tasks when `wanted` were asked for (0: one per
// core): never more than the tasks, never fewer than one.
inline unsigned threadsFor(std::size_t tasks, unsigned wanted = 0) {
    if (wanted == 0) wanted = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(wanted, tasks)));
}

// Runs task(index, slot) for every index in [0, tasks) on `threads` threads
// (as threadsFor gives them); slot in [0, threads) tells a thread its own
// scratch. Where no thread can be started, the caller does the rest itself.
template <class Task>
void parallelFor(std::size_t tasks, unsigned threads, const Task& task) {
    threads = threadsFor(tasks, threads);
    std::atomic<std::size_t> next{0};
    std::vector<std::exception_ptr> errors(threads);
    const auto run = [&](unsigned slot) {
        try {
            for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < tasks;) {
                task(i, slot);
            }
        } catch (...) {
            errors[slot] = std::current_exception();
            next.store(tasks, std::memory_order_relaxed);  // no new tasks after a failure
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (unsigned slot = 1; slot < threads; ++slot) {
        try {
            pool.emplace_back(run, slot);
        } catch (const std::system_error&) {
            break;  // the threads already started and this one share the tasks
        }
    }
    run(0);
    for (std::thread& t : pool) t.join();
    for (const std::exception_ptr& e : errors) {
        if (e) std::rethrow_exception(e);
    }
}

}  // namespace korvex
