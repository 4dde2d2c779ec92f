// A second thread that takes one job at a time while the caller goes on
// with work of its own: the file writer's and the formatter's helper.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace korvex {

class Worker {
  public:
    Worker() : thread_([this] { run(); }) {}
    // Finishes the job in hand, then ends the thread.
    ~Worker() {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            idle_.wait(lock, [this] { return !job_; });
            stop_ = true;
        }
        work_.notify_one();
        thread_.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Waits for the job before, then starts this one.
    void start(std::function<void()> job) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            idle_.wait(lock, [this] { return !job_; });
            job_ = std::move(job);
        }
        work_.notify_one();
    }

    // Returns once the job in hand is done; what it wrote is then visible.
    void wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return !job_; });
    }

  private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return job_ || stop_; });
            if (!job_) return;
            lock.unlock();
            job_();
            lock.lock();
            job_ = nullptr;
            idle_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable work_, idle_;
    std::function<void()> job_;
    bool stop_ = false;
    std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace korvex
