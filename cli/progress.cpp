#include "cli/progress.h"

#include <chrono>
#include <iostream>

#include "pulse/file_sink.h"

namespace korvex::cli {

Progress::Progress(std::string what, const std::atomic<std::uint64_t>& done,
                   const std::atomic<std::uint64_t>& total)
    : what_(std::move(what)), done_(done), total_(total) {
    if (standardErrorIsTerminal()) thread_ = std::thread([this] { run(); });
}

Progress::~Progress() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void Progress::run() {
    using namespace std::chrono_literals;
    std::unique_lock<std::mutex> lock(mutex_);
    // Short work shows nothing at all.
    if (wake_.wait_for(lock, 500ms, [this] { return stop_; })) return;
    std::size_t shown = 0;
    do {
        const std::uint64_t total = total_.load(), done = done_.load();
        const int percent =
            total == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(99, done * 100 / total));
        const std::string line = "korvex-cli: " + what_ + ": " + std::to_string(percent) + " %";
        std::cerr << '\r' << line << std::flush;
        shown = line.size();
    } while (!wake_.wait_for(lock, 250ms, [this] { return stop_; }));
    std::cerr << '\r' << std::string(shown, ' ') << '\r' << std::flush;
}

}  // namespace korvex::cli
