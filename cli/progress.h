// A progress line on standard error for work that takes a while, when a
// person is watching the terminal; nothing otherwise.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace korvex::cli {

class Progress {
  public:
    // Shows "korvex-cli: WHAT: N %" from about half a second on, while
    // `done` grows towards `total`; the line is cleared at the end.
    Progress(std::string what, const std::atomic<std::uint64_t>& done,
             const std::atomic<std::uint64_t>& total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

  private:
    void run();

    const std::string what_;
    const std::atomic<std::uint64_t>& done_;
    const std::atomic<std::uint64_t>& total_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace korvex::cli
